// How the program core meets the window: the controls the core reads and
// writes, its message boxes and the clock. The Qt window implements these
// ports; memory_window.h holds the in-memory ones that the tests and the
// console front end use.
//
// Texts crossing a port are GBK, like every text of the core.
#pragma once

#include "http/encoding.h"

namespace qc {

// The controls the core reads or writes.
enum class Control {
  SiteBox,          // 编辑框_site
  TokenBox,         // 编辑框_token
  DepthBox,         // 编辑框_爬取深度
  QuotaBox,         // 编辑框_推送额度
  UrlPatternBox,    // 编辑框_URL匹配正则
  ContentTypeBox,   // 编辑框_Content_type过滤
  StartButton,      // 按钮_开始推送: its caption is the task's state
  WindowCaption,    // the main window's caption
  CrawlCountLabel,  // 透明标签_爬虫获取URL数
  ProgressLabel,    // 透明标签_提交URL进度
  SuccessLabel,     // 透明标签_推送成功数
  SubmittedLabel,   // 透明标签_推送条数
  RemainLabel,      // 透明标签_所剩配额数量
  StatusMessage,    // part 0 of the status bar: the last log line
  StatusClock,      // part 1 of the status bar: the clock
};

// Control texts, the filter check box and the log box.
//
// Called from the window thread and from the task's worker thread. An
// implementation keeps the order of writes as they were made (log entries
// and label changes appear in the order the core made them), and keeps
// reads cheap: the worker reads the quota box before every stop test.
// A read from the worker must not wait for the window thread (keep a copy
// of the texts under a lock): the window thread itself waits for the
// worker when the program closes during a task.
//
// A write from the core is not a user's edit: it does not run the control's
// change handler. Where the behaviour needs the handler (the quota box set
// by the quota button), the core calls it itself.
class WindowPort {
 public:
  virtual ~WindowPort() = default;
  virtual Text ReadText(Control control) = 0;
  virtual void WriteText(Control control, const Text& text) = 0;
  // 选择框_过滤已收录
  virtual bool FilterIndexedChecked() = 0;
  virtual void SetFilterIndexedChecked(bool checked) = 0;
  // 编辑框3: one whole entry at a time, so that entries never interleave.
  virtual void AppendToLog(const Text& entry) = 0;
  virtual void ClearLog() = 0;
};

enum class MessageIcon { None, Information, Warning, Error, Question };

// Message boxes. Called on the window thread only.
class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual void ShowMessage(const Text& text, const Text& title, MessageIcon icon) = 0;
  // True for Yes.
  virtual bool AskYesNo(const Text& text, const Text& title) = 0;
};

// The current local date and time as an OLE automation date (days since
// 30 December 1899, midnight; the time of day as the fraction).
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double Now() const = 0;
};

// The machine's clock in the local time zone.
class SystemClock final : public Clock {
 public:
  double Now() const override;
};

// Fixed texts of the main window (GBK).
const Text& CaptionIdle();       // "开始"
const Text& CaptionCrawling();   // "停止采集开始推送"
const Text& CaptionPushing();    // "正在推送"
const Text& CrawlCountTag();     // "爬虫获取URL数：%s"
const Text& ProgressTag();       // "提交URL进度："
const Text& SuccessTag();        // "推送成功条数："
const Text& SubmittedTag();      // "推送条数："
const Text& RemainTag();         // "所剩配额数量："
const Text& WindowCaptionTag();  // "Quillcast 版本：%s"

// The three ports together, as the handlers take them.
struct Ports {
  WindowPort& window;
  Prompter& prompter;
  const Clock& clock;
};

}  // namespace qc
