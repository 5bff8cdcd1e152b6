#include "app/activity_log.h"

#include <string>

#include "app/app_state.h"
#include "app/date_time.h"
#include "app/ports.h"

namespace qc {
namespace {

const Text& FullWidthColon() {
  static const Text colon = Utf8ToText("：");
  return colon;
}

Text LogTime(const Clock& clock) { return FormatDateTime(clock.Now(), "", "tt,hh:mm:ss", false); }

}  // namespace

void AppendLog(WindowPort& window, const Clock& clock, std::string_view message) {
  Text entry = LogTime(clock);
  entry += FullWidthColon();
  entry += message;
  entry += "\r\n\r\n";
  window.AppendToLog(entry);

  Text status = LogTime(clock);
  status += FullWidthColon();
  status += message;
  window.WriteText(Control::StatusMessage, status);
}

void OnCrawlCountTick(AppState& state, WindowPort& window, const Clock& clock) {
  const std::size_t size = state.pushList.PublishedCount();
  if (size >= 1) state.shownCrawlCount = static_cast<int>(size);

  Text label = CrawlCountTag();
  label.replace(label.find("%s"), 2, std::to_string(state.shownCrawlCount));
  if (window.ReadText(Control::CrawlCountLabel) != label) window.WriteText(Control::CrawlCountLabel, label);

  window.WriteText(Control::StatusClock, FormatDateTime(clock.Now(), "yyyy-MM-dd", " hh:mm:ss", true));
}

void OnClearLogClicked(WindowPort& window, Prompter& prompter) {
  if (prompter.AskYesNo(Utf8ToText("是否清空日志？"), {})) window.ClearLog();
}

}  // namespace qc
