#include "app/app_state.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "app/activity_log.h"
#include "app/config_file.h"
#include "app/ports.h"
#include "app/settings.h"

namespace qc {

const Text& UrlList::At(std::size_t index) const {
  static const Text empty;
  return index >= 1 && index <= items_.size() ? items_[index - 1] : empty;
}

bool UrlList::AppendUnique(std::string_view text) {
  if (Contains(text)) return false;
  items_.emplace_back(text);
  index_.insert(items_.back());
  Publish();
  return true;
}

void UrlList::AppendUnique(const TextArray& list) {
  for (const Text& text : list) AppendUnique(text);
}

void UrlList::Clear() {
  index_.clear();
  items_.clear();
  Publish();
}

TextArray UrlList::ToTextArray() const {
  return TextArray(std::vector<Text>(items_.begin(), items_.end()));
}

TextArray AppState::ContentTypeKeywords() const {
  std::lock_guard lock(keywordsMutex_);
  return contentTypeKeywords_;
}

void AppState::SetContentTypeKeywords(TextArray keywords) {
  std::lock_guard lock(keywordsMutex_);
  contentTypeKeywords_ = std::move(keywords);
}

double TextToNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // from_chars takes no sign and no blanks, and stops where the number does.
  // Only digits may start it: from_chars would also read "inf" and "nan".
  if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.')) return 0;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (result.ec == std::errc::result_out_of_range) value = std::numeric_limits<double>::max();
  else if (result.ec != std::errc()) return 0;
  return negative ? -value : value;
}

void RunCreationSteps(AppState& state, const Ports& ports, const std::function<void()>& afterDefaultWritten) {
  const std::string configPath = ConfigFilePath(state.runDirectory);
  if (!ConfigFileExists(configPath)) {
    WriteDefaultConfigFile(configPath);
    if (afterDefaultWritten) afterDefaultWritten();
  }
  AppendLog(ports.window, ports.clock, Utf8ToText("软件启动"));

  char version[64];
  std::snprintf(version, sizeof version, "%.2f", state.version);
  Text caption = WindowCaptionTag();
  caption.replace(caption.find("%s"), 2, version);
  AppendLog(ports.window, ports.clock, caption);

  LoadSettings(state, ports.window);
  ports.window.WriteText(Control::WindowCaption, caption);
  LoadTodaySuccessLog(state, ports.clock);
  state.endpoints = LoadEndpoints(configPath);
  state.stopRequested.store(0);
}

}  // namespace qc
