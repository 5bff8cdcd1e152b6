#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/activity_log.h"
#include "app/app_state.h"
#include "app/memory_window.h"

namespace qc {
namespace {

class ActivityLogTest : public ::testing::Test {
 protected:
  // The day markers follow the locale; pin them to a Chinese one.
  void SetUp() override { setenv("LC_ALL", "zh_CN.UTF-8", 1); }
  void TearDown() override { unsetenv("LC_ALL"); }

  MemoryWindow window;
  MemoryPrompter prompter;
  ManualClock clock{ManualClock::At(2022, 1, 10, 15, 4, 5)};
};

TEST_F(ActivityLogTest, EntryIsTimeColonMessageAndTwoLineBreaks) {
  AppendLog(window, clock, Utf8ToText("任务已开始！"));
  clock.Set(ManualClock::At(2022, 1, 10, 9, 0, 7));
  AppendLog(window, clock, "x");

  EXPECT_EQ(window.LogText(), Utf8ToText("下午,03:04:05：任务已开始！\r\n\r\n上午,09:00:07：x\r\n\r\n"));
  EXPECT_EQ(window.ReadText(Control::StatusMessage), Utf8ToText("上午,09:00:07：x"));

  // Clearing after a Yes empties the box and leaves the status bar.
  prompter.QueueAnswer(false);
  OnClearLogClicked(window, prompter);
  EXPECT_FALSE(window.LogText().empty());
  prompter.QueueAnswer(true);
  OnClearLogClicked(window, prompter);
  EXPECT_EQ(window.LogText(), "");
  EXPECT_EQ(window.ReadText(Control::StatusMessage), Utf8ToText("上午,09:00:07：x"));
  EXPECT_EQ(prompter.ShownBoxes().back().text, Utf8ToText("是否清空日志？"));
}

TEST_F(ActivityLogTest, WindowWithoutHistoryPassesEntriesOnAndKeepsNone) {
  std::vector<Text> seen;
  window.SetLogObserver([&seen](const Text& entry) { seen.push_back(entry); });
  window.SetKeepHistory(false);
  for (int i = 0; i < 1000; ++i) AppendLog(window, clock, "line " + std::to_string(i));

  ASSERT_EQ(seen.size(), 1000u);
  EXPECT_EQ(seen.back(), Utf8ToText("下午,03:04:05：line 999\r\n\r\n"));
  EXPECT_EQ(window.LogText(), "");
  EXPECT_TRUE(window.LogMessages().empty());
  EXPECT_TRUE(window.Writes().empty());
  // The controls still show their current texts.
  EXPECT_EQ(window.ReadText(Control::StatusMessage), Utf8ToText("下午,03:04:05：line 999"));
}

TEST_F(ActivityLogTest, CrawlCountTickKeepsTheLastNonZeroCount) {
  AppState state;
  OnCrawlCountTick(state, window, clock);
  EXPECT_EQ(window.ReadText(Control::CrawlCountLabel), Utf8ToText("爬虫获取URL数：0"));
  EXPECT_EQ(window.ReadText(Control::StatusClock), "2022-01-10 15:04:05");
  // The label is written only when its text changes.
  EXPECT_TRUE(window.WritesOf(Control::CrawlCountLabel).empty());

  state.pushList.AppendUnique("http://a/1");
  state.pushList.AppendUnique("http://a/2");
  OnCrawlCountTick(state, window, clock);
  state.pushList.Clear();
  OnCrawlCountTick(state, window, clock);
  EXPECT_EQ(window.ReadText(Control::CrawlCountLabel), Utf8ToText("爬虫获取URL数：2"));
  EXPECT_EQ(window.WritesOf(Control::CrawlCountLabel).size(), 1u);
}

}  // namespace
}  // namespace qc
