// The activity log: time-stamped entries in the log box, the newest one
// also in the status bar; and the window's once-a-second timer.
#pragma once

#include <string_view>

namespace qc {

struct AppState;
class WindowPort;
class Prompter;
class Clock;

// Appends "time：message\r\n\r\n" to the log box in one piece (time by the
// picture "tt,hh:mm:ss"), then shows "time：message" in the status bar.
// Callable from the window thread and the worker.
void AppendLog(WindowPort& window, const Clock& clock, std::string_view message);

// 时钟1: the crawl-count label (keeps its last non-zero count after a task
// emptied pushList) and the clock in the status bar. Window thread.
void OnCrawlCountTick(AppState& state, WindowPort& window, const Clock& clock);

// 按钮_清空数据: empties the log box after a Yes. Nothing else is cleared.
void OnClearLogClicked(WindowPort& window, Prompter& prompter);

}  // namespace qc
