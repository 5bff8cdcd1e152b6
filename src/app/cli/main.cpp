// quillcast-cli: the crawl-and-push task from a terminal, for servers and
// cron. The settings load as the window loads them, the options stand for
// what a user would type into the window, and every activity-log entry is
// one line on stdout.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "app/memory_window.h"
#include "app/settings.h"
#include "engine/crawl_task.h"

namespace {

constexpr std::string_view kUsage =
    "usage: quillcast-cli [--dir DIR] [--site URL] [--token TOKEN] [--depth N] [--quota N]\n"
    "                     [--filter-indexed|--no-filter-indexed] [--fetch-quota] [--help]\n"
    "\n"
    "  --dir DIR            run directory: Bd_Config.ini and the daily success logs\n"
    "                       (default: the directory of this program)\n"
    "  --site URL           the site to crawl and push for (saved when the task starts)\n"
    "  --token TOKEN        the push token (saved when the task starts)\n"
    "  --depth N            crawl depth, 0 to 5 (default 1; not saved)\n"
    "  --quota N            push quota, also the crawl limit (saved)\n"
    "  --filter-indexed     skip URLs the search engine has indexed (saved)\n"
    "  --no-filter-indexed  do not (saved)\n"
    "  --fetch-quota        only ask the push interface for the remaining quota and print it\n"
    "\n"
    "Ctrl-C once stops the crawl and pushes what was gathered; twice ends at once.\n"
    "Exit status: 0 after the push phase, 2 when the options or the start checks fail.\n";

struct Options {
  std::optional<std::string> dir;
  std::optional<std::string> site;
  std::optional<std::string> token;
  std::optional<std::string> depth;
  std::optional<std::string> quota;
  std::optional<bool> filterIndexed;
  bool fetchQuota = false;
  bool help = false;
};

// Parses the arguments; an error text when they cannot be used.
std::optional<std::string> Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::optional<std::string_view> inlineValue;
    if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
      inlineValue = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    std::optional<std::string>* target = nullptr;
    if (arg == "--dir") target = &options.dir;
    if (arg == "--site") target = &options.site;
    if (arg == "--token") target = &options.token;
    if (arg == "--depth") target = &options.depth;
    if (arg == "--quota") target = &options.quota;
    if (target) {
      if (inlineValue) {
        *target = std::string(*inlineValue);
      } else if (i + 1 < argc) {
        *target = argv[++i];
      } else {
        return "option " + std::string(arg) + " needs a value";
      }
      continue;
    }
    if (inlineValue) return "option " + std::string(arg) + " takes no value";
    if (arg == "--filter-indexed") {
      options.filterIndexed = true;
    } else if (arg == "--no-filter-indexed") {
      options.filterIndexed = false;
    } else if (arg == "--fetch-quota") {
      options.fetchQuota = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else {
      return "unknown argument: " + std::string(arg);
    }
  }
  return std::nullopt;
}

std::string ExecutableDirectory() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return ".";
  return self.parent_path().string();
}

// The terminal speaks UTF-8, the core GBK.
std::string ForTerminal(const qc::Text& text) {
  std::string line = qc::TextToUtf8(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

std::mutex outputMutex;

void PrintLine(FILE* stream, const std::string& line) {
  std::lock_guard lock(outputMutex);
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

// Ctrl-C: the first is the confirmed stop, the second ends at once.
// Lock-free atomics are safe to touch from a signal handler.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int>* stopFlag = nullptr;
std::atomic<int> interrupts{0};

void OnInterrupt(int) {
  if (interrupts.fetch_add(1) > 0) _exit(130);
  if (stopFlag) stopFlag->store(1);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const auto error = Parse(argc, argv, options)) {
    PrintLine(stderr, "quillcast-cli: " + *error);
    std::fputs(kUsage.data(), stderr);
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage.data(), stdout);
    return 0;
  }

  qc::AppState state;
  state.version = std::stod(std::string(qc::kVersionText));
  state.runDirectory = options.dir ? *options.dir : ExecutableDirectory();
  std::error_code error;
  if (!std::filesystem::is_directory(state.runDirectory, error)) {
    PrintLine(stderr, "quillcast-cli: not a directory: " + state.runDirectory);
    return 2;
  }

  qc::MemoryWindow window;
  qc::MemoryPrompter prompter;
  qc::SystemClock clock;
  window.SetLogObserver([](const qc::Text& entry) { PrintLine(stdout, ForTerminal(entry)); });
  // Entries go straight to stdout; a long run keeps none of them.
  window.SetKeepHistory(false);
  const qc::Ports ports{window, prompter, clock};

  // A missing settings file is written with the default content and the
  // run goes on: there is no program restart here.
  qc::RunCreationSteps(state, ports);

  if (options.site) window.WriteText(qc::Control::SiteBox, qc::Utf8ToText(*options.site));
  if (options.token) window.WriteText(qc::Control::TokenBox, qc::Utf8ToText(*options.token));
  if (options.depth) window.WriteText(qc::Control::DepthBox, qc::Utf8ToText(*options.depth));
  if (options.quota) {
    window.WriteText(qc::Control::QuotaBox, qc::Utf8ToText(*options.quota));
    qc::OnQuotaChanged(state, window);
  }
  if (options.filterIndexed) {
    window.SetFilterIndexedChecked(*options.filterIndexed);
    qc::OnFilterIndexedClicked(state, window);
  }

  qc::CrawlTask task(state, ports);
  if (options.fetchQuota) {
    task.OnFetchQuotaClicked();
    PrintLine(stdout, ForTerminal(window.ReadText(qc::Control::QuotaBox)));
    return 0;
  }

  stopFlag = &state.stopRequested;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);

  task.OnStartClicked();
  const auto shown = prompter.ShownBoxes();
  if (!shown.empty()) {
    for (const auto& box : shown) PrintLine(stderr, ForTerminal(box.text));
    return 2;
  }
  task.Wait();

  for (qc::Control label : {qc::Control::ProgressLabel, qc::Control::SuccessLabel, qc::Control::SubmittedLabel,
                            qc::Control::RemainLabel}) {
    PrintLine(stdout, ForTerminal(window.ReadText(label)));
  }
  return 0;
}
