// Link extraction speed: the crawler's link pattern over a realistic GBK
// page, through RegexMatcher and, for comparison, std::regex doing the same
// work. A last pair runs both over one long line without whitespace, where
// std::regex's recursive matcher runs out of stack (run in a child process
// so the crash is reported rather than suffered).
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <regex>
#include <string>

#include "http/encoding.h"
#include "text/regex_matcher.h"

namespace {

const std::string kLinkPattern = "href *= *['\"]*(\\S+)[\"']";

// About 1 MiB of GBK: a navigation bar, 2,000 links in lists with Chinese
// titles, and paragraphs of Chinese text between the lists.
const std::string& Page() {
  static const std::string page = [] {
    const auto gbk = [](const std::string& utf8) { return qc::Utf8ToText(utf8); };
    const char* words[] = {"新闻", "公告", "产品", "服务", "关于我们", "联系方式", "技术支持", "行业动态"};
    std::string html = gbk(
        "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>示例站点 - 首页</title>\n"
        "<link rel=\"stylesheet\" href=\"/css/site.css\">\n</head><body>\n<div class=\"nav\">");
    for (int i = 0; i < 8; ++i) html += gbk(std::string("<a href=\"/c") + std::to_string(i) + "/\">" + words[i] + "</a> ");
    html += "</div>\n";
    const std::string paragraph = gbk(
        "<p>本站专注于为用户提供最新的行业资讯、产品介绍和技术文章，欢迎各位访问者浏览与交流。"
        "我们每天更新内容，涵盖新闻动态、使用教程、常见问题解答等多个栏目，力求做到全面、准确、及时。</p>\n");
    int links = 9;  // the style sheet and the navigation bar
    int n = 0;
    while (links < 2000) {
      html += "<ul class=\"list\">\n";
      for (int k = 0; k < 40 && links < 2000; ++k, ++links, ++n) {
        const char quote = n % 3 == 0 ? '\'' : '"';
        html += gbk("  <li><a href=" + std::string(1, quote) + "/" + (n % 2 ? "news" : "article") + "/2024/" +
                    std::to_string(100000 + n) + ".html" + quote + " target=\"_blank\">" + words[n % 8] + "：第" +
                    std::to_string(n) + "篇文章的标题文字</a><span>2024-06-12</span></li>\n");
      }
      html += "</ul>\n";
      for (int p = 0; p < 10; ++p) html += paragraph;
    }
    while (html.size() < 1024 * 1024 - 200) html += paragraph;
    html += "</body></html>\n";
    return html;
  }();
  return page;
}

// One long word: the \S+ of the pattern runs over all of it from each href.
const std::string& LongLine() {
  static const std::string line = [] {
    std::string s;
    const std::string chunk = qc::Utf8ToText("<a#href='/p/1.html'>中文标题</a>");
    while (s.size() < 1024 * 1024) s += chunk;
    return s;
  }();
  return line;
}

std::size_t ViaRegexMatcher(const std::string& subject) {
  qc::RegexMatcher re;
  re.Create(kLinkPattern, subject, false, true, true);
  std::size_t bytes = 0;
  for (int i = 1, n = re.GetMatchCount(); i <= n; ++i) bytes += re.GetSubMatchText(i, 1).size();
  return bytes;
}

std::size_t ViaStdRegex(const std::string& subject, int* count) {
  const std::regex re(kLinkPattern, std::regex::ECMAScript | std::regex::icase | std::regex::multiline);
  std::size_t bytes = 0;
  *count = 0;
  for (std::sregex_iterator it(subject.begin(), subject.end(), re), end; it != end; ++it) {
    bytes += (*it)[1].str().size();
    ++*count;
  }
  return bytes;
}

void BM_RegexMatcher_LinkPattern(benchmark::State& state) {
  const std::string& page = Page();
  qc::RegexMatcher probe;
  probe.Create(kLinkPattern, page);
  for (auto _ : state) benchmark::DoNotOptimize(ViaRegexMatcher(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.counters["links"] = probe.GetMatchCount();
  state.counters["page_bytes"] = static_cast<double>(page.size());
}
BENCHMARK(BM_RegexMatcher_LinkPattern)->Unit(benchmark::kMillisecond);

void BM_StdRegex_LinkPattern(benchmark::State& state) {
  const std::string& page = Page();
  int count = 0;
  for (auto _ : state) benchmark::DoNotOptimize(ViaStdRegex(page, &count));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.counters["links"] = count;
}
BENCHMARK(BM_StdRegex_LinkPattern)->Unit(benchmark::kMillisecond);

void BM_RegexMatcher_LongLine(benchmark::State& state) {
  const std::string& line = LongLine();
  qc::RegexMatcher probe;
  probe.Create(kLinkPattern, line);
  for (auto _ : state) benchmark::DoNotOptimize(ViaRegexMatcher(line));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
  state.counters["links"] = probe.GetMatchCount();
}
BENCHMARK(BM_RegexMatcher_LongLine)->Unit(benchmark::kMillisecond);

// std::regex over the long line, in a child process; the label tells how
// the child ended.
void BM_StdRegex_LongLine(benchmark::State& state) {
  const std::string& line = LongLine();
  for (auto _ : state) {
    const pid_t child = fork();
    if (child == 0) {
      int count = 0;
      ViaStdRegex(line, &count);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
      state.SetLabel(std::string("child killed by signal ") + std::to_string(WTERMSIG(status)) + " (" +
                     strsignal(WTERMSIG(status)) + ")");
    } else {
      state.SetLabel("child finished, exit " + std::to_string(WEXITSTATUS(status)));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_StdRegex_LongLine)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
