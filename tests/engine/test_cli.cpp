// quillcast-cli as a process, against loopback servers, in a temporary
// run directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "app/profile_file.h"
#include "support/engine_world.h"

namespace qc {
namespace {

#ifdef QC_CLI_PATH
constexpr const char* kCli = QC_CLI_PATH;
#else
constexpr const char* kCli = nullptr;
#endif

struct CliRun {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Starts the program; `pid` receives its process id for signals.
CliRun RunCli(const std::vector<std::string>& args, const test::TempDir& scratch, std::atomic<pid_t>* pid = nullptr) {
  const std::string outPath = scratch.File("stdout.txt");
  const std::string errPath = scratch.File("stderr.txt");
  const pid_t child = fork();
  if (child == 0) {
    FILE* out = std::freopen(outPath.c_str(), "w", stdout);
    FILE* err = std::freopen(errPath.c_str(), "w", stderr);
    if (!out || !err) _exit(127);
    std::vector<char*> argv{const_cast<char*>(kCli)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    setenv("LC_ALL", "C", 1);
    execv(kCli, argv.data());
    _exit(127);
  }
  if (pid) pid->store(child);
  CliRun run;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = test::ReadFileBytes(outPath);
  run.err = test::ReadFileBytes(errPath);
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

// The message of a log line "time：message".
std::string Message(const std::string& line) {
  const std::size_t colon = line.find("：");
  return colon == std::string::npos ? "" : line.substr(colon + std::string("：").size());
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kCli) GTEST_SKIP() << "quillcast-cli is not built";
    world.site.Page("/", "<a href=\"/a.html\">a</a>\n<a href=\"/b.html\">b</a>\n");
    world.site.Page("/a.html", "<a href=\"/a1.html\">1</a>\n");
    world.site.Page("/b.html", "<p>b</p>\n");
    world.site.Page("/a1.html", "<p>a1</p>\n");
    config = ConfigFilePath(world.dir.path());
    WriteProfileString(config, "Endpoints", "PushApi", world.push.BaseUrl());
    WriteProfileString(config, "Endpoints", "Search", world.search.BaseUrl());
  }

  std::vector<std::string> Args(std::vector<std::string> more) {
    std::vector<std::string> args{"--dir", world.dir.path(), "--site", world.Url("/"), "--token", "tok-secret",
                                  "--quota", "100"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  test::EngineWorld world;
  test::TempDir scratch;
  std::string config;
};

TEST_F(CliTest, RunsTheTaskAndPrintsLogLinesAndCounters) {
  const CliRun run = RunCli(Args({"--depth", "1", "--no-filter-indexed"}), scratch);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_GE(lines.size(), 8u);
  std::vector<std::string> messages;
  for (std::size_t i = 0; i + 4 < lines.size(); ++i) messages.push_back(Message(lines[i]));
  EXPECT_EQ(messages[0], "软件启动");
  EXPECT_EQ(messages[1], "Quillcast 版本：2.75");
  EXPECT_EQ(messages[2], "任务已开始！");
  EXPECT_EQ(messages.back(), "推送【" + world.Url("/a1.html") + "】成功");
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
            (std::vector<std::string>{"提交URL进度：3/3", "推送成功条数：3", "推送条数：3", "所剩配额数量：2997"}));
  // One entry per line, "time：message"; the token is in none of them.
  for (std::size_t i = 0; i + 4 < lines.size(); ++i) EXPECT_NE(Message(lines[i]), "") << lines[i];
  EXPECT_EQ(run.out.find("tok-secret"), std::string::npos);

  EXPECT_EQ(world.push.PushedUrls().size(), 3u);
  EXPECT_EQ(ReadProfileString(config, "Api", "Site"), world.Url("/"));
  EXPECT_EQ(ReadProfileString(config, "Api", "Token"), "tok-secret");
  EXPECT_EQ(ReadProfileString(config, "Api", "remain"), "100");
  EXPECT_EQ(ReadProfileString(config, "filter", "Included"), "False");
}

TEST_F(CliTest, FetchQuotaPrintsTheRemainingQuota) {
  const CliRun run = RunCli(Args({"--fetch-quota"}), scratch);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out).back(), "2999");
  EXPECT_EQ(ReadProfileString(config, "Api", "remain"), "2999");
  EXPECT_EQ(world.push.PushedUrls(), (std::vector<std::string>{world.Url("/")}));
}

TEST_F(CliTest, FailedStartChecksExitWithStatusTwo) {
  const CliRun noToken = RunCli(Args({"--token", ""}), scratch);
  EXPECT_EQ(noToken.status, 2);
  EXPECT_EQ(noToken.err, "Token未填写！\n");

  // A fresh directory: the default settings file is written and the run
  // goes on to the start checks.
  test::TempDir fresh;
  const CliRun badSite = RunCli({"--dir", fresh.path(), "--site", "http://127.0.0.1:1/", "--token", "t"}, scratch);
  EXPECT_EQ(badSite.status, 2);
  EXPECT_EQ(badSite.err, "URL链接错误,请检查！\n");
  EXPECT_EQ(test::ReadFileBytes(ConfigFilePath(fresh.path())), std::string(DefaultConfigContent()));
  EXPECT_EQ(world.push.Pushes().size(), 0u);

  EXPECT_EQ(RunCli({"--depth"}, scratch).status, 2);
  EXPECT_EQ(RunCli({"--bogus"}, scratch).status, 2);
  const CliRun help = RunCli({"--help"}, scratch);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: quillcast-cli"), std::string::npos);
}

TEST_F(CliTest, CtrlCOnceStopsTheCrawlAndPushesTwiceEndsAtOnce) {
  std::atomic<pid_t> pid{0};
  std::atomic<int> signals{1};
  // When the crawler first checks /a1.html, interrupt it as often as asked.
  world.site.OnRequest([&](const std::string& path) {
    if (path != "/a1.html" || signals.load() == 0) return;
    for (int n = signals.exchange(0); n > 0; --n) {
      kill(pid.load(), SIGINT);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  const CliRun once = RunCli(Args({"--depth", "2"}), scratch, &pid);
  EXPECT_EQ(once.status, 0) << once.err;
  EXPECT_EQ(world.push.PushedUrls(),
            (std::vector<std::string>{world.Url("/a.html"), world.Url("/b.html"), world.Url("/a1.html")}));

  signals = 2;
  const CliRun twice = RunCli(Args({"--depth", "2"}), scratch, &pid);
  EXPECT_EQ(twice.status, 130);
  EXPECT_EQ(world.push.PushedUrls().size(), 3u);  // nothing more was pushed
}

}  // namespace
}  // namespace qc
