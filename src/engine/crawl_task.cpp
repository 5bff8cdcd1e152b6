#include "engine/crawl_task.h"

#include <string>

#include "app/activity_log.h"
#include "app/app_state.h"
#include "app/settings.h"
#include "app/success_log.h"
#include "engine/push_client.h"
#include "engine/quota.h"
#include "text/regex_matcher.h"

namespace qc {
namespace {

constexpr int kDeepestLevel = 5;

// The pattern of the settings when it is usable, else the default.
std::optional<Text> UsablePattern(const Text& pattern) {
  if (pattern.empty()) return std::nullopt;
  RegexMatcher matcher;
  if (!matcher.Create(pattern, Text(), false, true, true)) return std::nullopt;
  return pattern;
}

}  // namespace

CrawlTask::CrawlTask(AppState& state, const Ports& ports, TaskOptions options)
    : state_(state), ports_(ports), options_(options), crawler_(state, ports.window, ports.clock) {
  crawler_.SetRequestTimeout(options_.requestTimeoutMs);
}

CrawlTask::~CrawlTask() {
  Abandon();
  Wait();
}

void CrawlTask::Log(std::string_view message) { AppendLog(ports_.window, ports_.clock, message); }

void CrawlTask::Wait() {
  if (worker_.joinable()) worker_.join();
}

void CrawlTask::Abandon() {
  abandoned_.store(true);
  state_.stopRequested.store(1);
}

void CrawlTask::OnStartClicked() {
  WindowPort& window = ports_.window;
  const Text caption = window.ReadText(Control::StartButton);
  if (caption == CaptionCrawling()) {
    const Text question = Utf8ToText("是否停止采集开始推送URL？\r\n当前采集数量【") +
                          std::to_string(state_.pushList.PublishedCount()) + Utf8ToText("】");
    if (ports_.prompter.AskYesNo(question, {})) state_.stopRequested.store(1);
    return;
  }
  if (caption != CaptionIdle()) return;

  // The caption reads idle once the last task's final step is done; its
  // thread is ending or gone.
  Wait();
  state_.stopRequested.store(0);
  const Text site = window.ReadText(Control::SiteBox);
  crawler_.SetSite(site);
  if (!crawler_.CheckUrl(site, false)) {
    ports_.prompter.ShowMessage(Utf8ToText("URL链接错误,请检查！"), {}, MessageIcon::Error);
    return;
  }
  if (window.ReadText(Control::TokenBox).empty()) {
    ports_.prompter.ShowMessage(Utf8ToText("Token未填写！"), {}, MessageIcon::Warning);
    return;
  }
  if (window.ReadText(Control::QuotaBox).empty()) {
    ports_.prompter.ShowMessage(Utf8ToText("推送配额未填写！"), {}, MessageIcon::Error);
    return;
  }
  SaveSiteAndToken(state_, window);
  window.WriteText(Control::StartButton, CaptionCrawling());
  abandoned_.store(false);
  worker_ = std::thread([this] { RunCrawlTask(); });
}

void CrawlTask::OnQuotaTick() { ApplyQuotaTest(state_, ports_.window); }

void CrawlTask::OnFetchQuotaClicked() {
  WindowPort& window = ports_.window;
  const Text site = window.ReadText(Control::SiteBox);
  crawler_.SetSite(site);
  const PushResult result = PushUrls(state_.endpoints.pushApi, site, window.ReadText(Control::TokenBox), site,
                                     options_.pushTimeoutSeconds);
  window.WriteText(Control::QuotaBox, result.remain);
  OnQuotaChanged(state_, window);
}

double CrawlTask::Depth() { return TextToNumber(ports_.window.ReadText(Control::DepthBox)); }

void CrawlTask::RunCrawlTask() {
  TextArray levels[kDeepestLevel + 1];  // levels[1..5]: the pages found at each level

  Log(Utf8ToText("任务已开始！"));
  const Text pattern = ports_.window.ReadText(Control::UrlPatternBox);
  if (const auto usable = UsablePattern(pattern)) {
    crawler_.SetLinkPattern(*usable);
  } else {
    crawler_.SetLinkPattern(Text(kDefaultLinkPattern));
    Log(Utf8ToText("URL匹配正则为空或无效，已使用默认规则"));
  }

  crawler_.CollectHomeLinks(state_.crawledUrls, true);
  Log(Utf8ToText("开始过滤URL！"));
  crawler_.FilterList(state_.crawledUrls);
  state_.pushList.AppendUnique(state_.crawledUrls);
  Log(Utf8ToText("URL过滤完成"));

  if (Reaches(Depth(), 1)) {
    const std::size_t count = state_.crawledUrls.Count();
    for (std::size_t i = 1; i <= count; ++i) {
      if (crawler_.StopRequested()) break;
      Log(Utf8ToText("开始深度抓取URL"));
      const Text page = state_.crawledUrls.At(i);
      crawler_.CollectPageLinks(page, levels[1]);
      crawler_.FilterList(levels[1]);
      state_.pushList.AppendUnique(levels[1]);
      Log(Utf8ToText("正在深度抓取URL"));
      if (Reaches(Depth(), 2)) CrawlLevel(2, levels);
    }
  }

  PushPhase();

  // pushList is emptied before the caption says idle: the next start may
  // come as soon as it does.
  state_.pushList.Clear();
  ports_.window.WriteText(Control::StartButton, CaptionIdle());
}

// Level k visits the pages level k - 1 found; it runs inside one visit of
// level k - 1, so the crawl goes depth first.
void CrawlTask::CrawlLevel(int level, TextArray* lists) {
  TextArray& parents = lists[level - 1];
  TextArray& found = lists[level];
  const std::size_t count = parents.Count();
  for (std::size_t j = 1; j <= count; ++j) {
    if (crawler_.StopRequested()) break;
    const Text page = parents.At(j);
    crawler_.CollectPageLinks(page, found);
    crawler_.FilterList(found);
    state_.pushList.AppendUnique(found);
    if (level < kDeepestLevel && Reaches(Depth(), level + 1)) CrawlLevel(level + 1, lists);
  }
}

void CrawlTask::PushPhase() {
  WindowPort& window = ports_.window;
  window.WriteText(Control::StartButton, CaptionPushing());
  PushResult last;
  const std::size_t count = state_.pushList.Count();
  for (std::size_t i = 1; i <= count && !abandoned_.load(); ++i) {
    const Text url = state_.pushList.At(i);
    Log(Utf8ToText("开始推送【") + url + Utf8ToText("】"));
    if (state_.todaySuccessLog.Contains(url)) {
      Log(Utf8ToText("【") + url + Utf8ToText("】今日已推送成功,无需重复提交"));
      last.success = "0";
    } else {
      last = PushUrls(state_.endpoints.pushApi, window.ReadText(Control::SiteBox), window.ReadText(Control::TokenBox),
                      url, options_.pushTimeoutSeconds);
    }
    ++state_.submittedCount;
    if (last.success == "1") {
      ++state_.successCount;
      Log(Utf8ToText("推送【") + url + Utf8ToText("】成功"));
      RecordPushSuccess(state_, ports_.clock, ">" + url + "<");
    } else {
      Log(Utf8ToText("推送【") + url + Utf8ToText("】失败"));
    }
    ShowCounters(last.remain);
  }
}

void CrawlTask::ShowCounters(const Text& remain) {
  WindowPort& window = ports_.window;
  const std::string submitted = std::to_string(state_.submittedCount);
  window.WriteText(Control::ProgressLabel, ProgressTag() + submitted + "/" + std::to_string(state_.pushList.Count()));
  window.WriteText(Control::SuccessLabel, SuccessTag() + std::to_string(state_.successCount));
  window.WriteText(Control::SubmittedLabel, SubmittedTag() + submitted);
  window.WriteText(Control::RemainLabel, RemainTag() + remain);
}

}  // namespace qc
