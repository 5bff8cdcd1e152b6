// In-memory ports: the window, the message boxes and a settable clock, for
// the tests and the console front end. All three may be used from several
// threads at once.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "app/ports.h"

namespace qc {

class MemoryWindow final : public WindowPort {
 public:
  // One recorded write, in the order the core made them. Log entries are
  // recorded with `control` empty and `isLog` true.
  struct Write {
    bool isLog = false;
    Control control = Control::SiteBox;
    Text text;
  };

  // The controls start with the texts the window shows at design: depth
  // "1", caption "开始", the counter labels at zero, the box checked off.
  MemoryWindow();

  Text ReadText(Control control) override;
  void WriteText(Control control, const Text& text) override;
  bool FilterIndexedChecked() override;
  void SetFilterIndexedChecked(bool checked) override;
  void AppendToLog(const Text& entry) override;
  void ClearLog() override;

  // Called with every log entry as it is appended (on the appending thread).
  void SetLogObserver(std::function<void(const Text& entry)> observer);
  // Whether the log's text, its messages and the record of writes are kept
  // (on by default; the tests read them). A front end that passes entries
  // on through the observer turns it off, so that a long run does not hold
  // every entry it ever logged.
  void SetKeepHistory(bool keep);

  // The log box's whole text.
  Text LogText();
  // The messages of the entries appended so far (time and line breaks cut
  // away), oldest first.
  std::vector<Text> LogMessages();
  std::vector<Write> Writes();
  // Texts one control was given, oldest first.
  std::vector<Text> WritesOf(Control control);

 private:
  std::mutex mutex_;
  std::map<Control, Text> texts_;
  bool filterIndexedChecked_ = false;
  Text log_;
  std::vector<Text> messages_;
  std::vector<Write> writes_;
  std::function<void(const Text&)> observer_;
  bool keepHistory_ = true;
};

// Answers Yes/No questions from a script; records every box shown.
class MemoryPrompter final : public Prompter {
 public:
  struct Shown {
    Text text;
    Text title;
    MessageIcon icon = MessageIcon::None;
    bool question = false;
  };

  void ShowMessage(const Text& text, const Text& title, MessageIcon icon) override;
  // Takes the next scripted answer; No when the script is used up.
  bool AskYesNo(const Text& text, const Text& title) override;

  void QueueAnswer(bool yes);
  std::vector<Shown> ShownBoxes();

 private:
  std::mutex mutex_;
  std::deque<bool> answers_;
  std::vector<Shown> shown_;
};

// A clock that shows what it was set to; tests move it across midnight.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(double oleDate = 0) : now_(oleDate) {}
  double Now() const override { return now_.load(); }
  void Set(double oleDate) { now_.store(oleDate); }
  // An OLE date from calendar fields (local time).
  static double At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

 private:
  std::atomic<double> now_;
};

}  // namespace qc
