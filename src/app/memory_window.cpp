#include "app/memory_window.h"

#include <utility>

#include "app/date_time.h"

namespace qc {
MemoryWindow::MemoryWindow() {
  texts_[Control::DepthBox] = Text("1");  // a Text, not a literal: GCC 12 warns falsely on assign(const char*)
  texts_[Control::StartButton] = CaptionIdle();
  texts_[Control::WindowCaption] = Utf8ToText("Quillcast 版本：");
  texts_[Control::CrawlCountLabel] = Utf8ToText("爬虫获取URL数：0");
  texts_[Control::ProgressLabel] = ProgressTag() + "0/0";
  texts_[Control::SuccessLabel] = SuccessTag() + "0";
  texts_[Control::SubmittedLabel] = SubmittedTag() + "0";
  texts_[Control::RemainLabel] = RemainTag() + "0";
}

Text MemoryWindow::ReadText(Control control) {
  std::lock_guard lock(mutex_);
  const auto it = texts_.find(control);
  return it == texts_.end() ? Text() : it->second;
}

void MemoryWindow::WriteText(Control control, const Text& text) {
  std::lock_guard lock(mutex_);
  texts_[control] = text;
  if (keepHistory_) writes_.push_back({false, control, text});
}

bool MemoryWindow::FilterIndexedChecked() {
  std::lock_guard lock(mutex_);
  return filterIndexedChecked_;
}

void MemoryWindow::SetFilterIndexedChecked(bool checked) {
  std::lock_guard lock(mutex_);
  filterIndexedChecked_ = checked;
}

void MemoryWindow::AppendToLog(const Text& entry) {
  std::function<void(const Text&)> observer;
  {
    std::lock_guard lock(mutex_);
    observer = observer_;
    if (keepHistory_) {
      log_ += entry;
      Text message = entry;
      const std::size_t colon = FindText(message, Utf8ToText("："));
      if (colon != std::string_view::npos) message.erase(0, colon + 2);
      while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
      messages_.push_back(message);
      writes_.push_back({true, Control::SiteBox, entry});
    }
  }
  // Outside the lock: the observer may read the window.
  if (observer) observer(entry);
}

void MemoryWindow::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

void MemoryWindow::SetKeepHistory(bool keep) {
  std::lock_guard lock(mutex_);
  keepHistory_ = keep;
}

void MemoryWindow::SetLogObserver(std::function<void(const Text&)> observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

Text MemoryWindow::LogText() {
  std::lock_guard lock(mutex_);
  return log_;
}

std::vector<Text> MemoryWindow::LogMessages() {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<MemoryWindow::Write> MemoryWindow::Writes() {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::vector<Text> MemoryWindow::WritesOf(Control control) {
  std::lock_guard lock(mutex_);
  std::vector<Text> texts;
  for (const Write& write : writes_) {
    if (!write.isLog && write.control == control) texts.push_back(write.text);
  }
  return texts;
}

void MemoryPrompter::ShowMessage(const Text& text, const Text& title, MessageIcon icon) {
  std::lock_guard lock(mutex_);
  shown_.push_back({text, title, icon, false});
}

bool MemoryPrompter::AskYesNo(const Text& text, const Text& title) {
  std::lock_guard lock(mutex_);
  shown_.push_back({text, title, MessageIcon::Question, true});
  if (answers_.empty()) return false;
  const bool yes = answers_.front();
  answers_.pop_front();
  return yes;
}

void MemoryPrompter::QueueAnswer(bool yes) {
  std::lock_guard lock(mutex_);
  answers_.push_back(yes);
}

std::vector<MemoryPrompter::Shown> MemoryPrompter::ShownBoxes() {
  std::lock_guard lock(mutex_);
  return shown_;
}

double ManualClock::At(int year, int month, int day, int hour, int minute, int second) {
  DateTimeFields fields;
  fields.year = year;
  fields.month = month;
  fields.day = day;
  fields.hour = hour;
  fields.minute = minute;
  fields.second = second;
  return OleDateFromFields(fields).value_or(0);
}

}  // namespace qc
