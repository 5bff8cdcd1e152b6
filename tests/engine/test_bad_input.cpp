// The task against pages, replies and services that misbehave: it ends
// with the right log lines, and nothing crashes or hangs.
#include <gtest/gtest.h>

#include <random>

#include "engine/crawl_task.h"
#include "support/engine_world.h"
#include "support/loopback_socket_server.h"

namespace qc {
namespace {

using Lines = std::vector<std::string>;

class BadInputTest : public ::testing::Test {
 protected:
  void RunTask(const char* depth = "1") {
    world.window.WriteText(Control::DepthBox, depth);
    task.OnStartClicked();
    task.Wait();
    ASSERT_TRUE(world.prompter.ShownBoxes().empty()) << TextToUtf8(world.prompter.ShownBoxes()[0].text);
    for (const std::string& line : world.Log()) ASSERT_EQ(line.find("secret-token"), std::string::npos) << line;
    EXPECT_EQ(world.window.ReadText(Control::StartButton), CaptionIdle());
  }

  test::EngineWorld world;
  CrawlTask task{world.state, world.ports, TaskOptions{2000, 3}};
};

TEST_F(BadInputTest, JunkHugeAndLoopingPagesEndTheTaskCleanly) {
  std::mt19937 random(1);
  std::string junk(256 * 1024, '\0');
  for (char& c : junk) c = static_cast<char>(random());
  // A 16 MiB page with two links at its ends, and a 40 MiB one that the
  // HTTP layer cuts.
  std::string huge = "<a href=\"/first.html\">f</a>\n" + std::string(16 * 1024 * 1024 - 60, 'x') +
                     "\n<a href=\"/last.html\">l</a>\n";
  ASSERT_LE(huge.size(), 16u * 1024 * 1024);
  world.site.Page("/", "<a href=\"/junk.html\">j</a>\n<a href=\"/huge.html\">h</a>\n<a href=\"/bigger.html\">b</a>\n"
                       "<a href=\"/loop1.html\">l</a>\n<a href=\"/a\x01" "b.html\">c</a>\n<a href=\"/a\x7f.html\">d</a>\n");
  world.site.Page("/junk.html", junk);
  world.site.Page("/huge.html", huge);
  world.site.Page("/bigger.html", std::string(40 * 1024 * 1024, '<'));
  world.site.Page("/first.html", "<p>f</p>");
  world.site.Page("/last.html", "<p>l</p>");
  world.site.Redirect("/loop1.html", "/loop2.html");
  world.site.Redirect("/loop2.html", "/loop1.html");

  RunTask("1");
  // The 16 MiB page is read whole, both of its links included.
  EXPECT_EQ(world.push.PushedUrls(),
            (std::vector<std::string>{world.Url("/junk.html"), world.Url("/huge.html"), world.Url("/bigger.html"),
                                      world.Url("/first.html"), world.Url("/last.html")}));
  EXPECT_TRUE(world.state.rejectedUrls.Contains(world.Url("/loop1.html")));
  EXPECT_EQ(world.Log().back(), "推送【" + world.Url("/last.html") + "】成功");
}

TEST_F(BadInputTest, FiftyThousandLinksOnOnePage) {
  std::string page;
  for (int i = 0; i < 50000; ++i) page += "<a href=\"http://elsewhere.example/p" + std::to_string(i) + "\">x</a>\n";
  page += "<a href=\"/only.html\">o</a>\n";
  world.site.Page("/", page);
  world.site.Page("/only.html", "<p>o</p>");
  RunTask("0");
  EXPECT_EQ(world.push.PushedUrls(), (std::vector<std::string>{world.Url("/only.html")}));
  EXPECT_EQ(test::LinesStartingWith(world.Log(), "过滤URL【").size(), 50001u);
  // The foreign links cost no request.
  EXPECT_LT(world.site.RequestCount(), 5);
}

TEST_F(BadInputTest, PushInterfaceAnsweringHtmlOrErrorsFailsThosePushes) {
  world.site.Page("/", "<a href=\"/a.html\">a</a>\n<a href=\"/b.html\">b</a>\n<a href=\"/c.html\">c</a>\n");
  for (const char* path : {"/a.html", "/b.html", "/c.html"}) world.site.Page(path, "<p>x</p>");
  world.push.SetReplies([](const test::FakePushApi::Push& push) {
    if (push.body.ends_with("/a.html")) return test::FakePushApi::Reply{"<html>502 Bad Gateway</html>", "text/html", 502};
    if (push.body.ends_with("/b.html")) {
      return test::FakePushApi::Reply{R"({"error":400,"message":"over quota"})", "application/json", 400};
    }
    return test::FakePushApi::Reply{R"({"remain":7,"success":1})"};
  });
  RunTask("0");
  const Lines pushLines = test::LinesStartingWith(world.Log(), "推送【");
  EXPECT_EQ(pushLines, (Lines{"推送【" + world.Url("/a.html") + "】失败", "推送【" + world.Url("/b.html") + "】失败",
                              "推送【" + world.Url("/c.html") + "】成功"}));
  EXPECT_EQ(world.Label(Control::SuccessLabel), "推送成功条数：1");
  EXPECT_EQ(world.Label(Control::RemainLabel), "所剩配额数量：7");
  EXPECT_EQ(test::ReadFileBytes(world.dir.File("2026-03-07推送成功日志.txt")), "\r\n>" + world.Url("/c.html") + "<");
}

TEST_F(BadInputTest, SearchPageThatNeverAnswersCountsAsNotIndexed) {
  test::LoopbackSocketServer silent([](test::LoopbackConnection& connection) {
    connection.ReadRequest();
    connection.WaitForStop(std::chrono::seconds(60));
  });
  ASSERT_TRUE(silent.Start());
  world.state.endpoints.search = silent.BaseUrl();
  world.window.SetFilterIndexedChecked(true);
  world.state.filterIndexed = true;
  world.site.Page("/", "<a href=\"/a.html\">a</a>\n");
  world.site.Page("/a.html", "<p>a</p>");
  RunTask("0");
  EXPECT_EQ(test::LinesStartingWith(world.Log(), "["),
            (Lines{"[" + world.Url("/a.html") + "]收录查询失败，按未收录处理"}));
  EXPECT_EQ(world.push.PushedUrls(), (std::vector<std::string>{world.Url("/a.html")}));
}

}  // namespace
}  // namespace qc
