#include <gtest/gtest.h>

#include <filesystem>

#include "app/app_state.h"
#include "app/memory_window.h"
#include "app/success_log.h"
#include "support/engine_temp_dir.h"

namespace qc {
namespace {

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SuccessLog, FileIsNamedByDateAndHoldsGbkEntriesWrittenWhole) {
  test::TempDir dir;
  AppState state;
  state.runDirectory = dir.path();
  ManualClock clock(ManualClock::At(2026, 3, 7, 15, 4, 5));
  LoadTodaySuccessLog(state, clock);
  EXPECT_EQ(state.todaySuccessLog.text(), "");

  const Text chinese = Utf8ToText("http://a.example/中文.html");
  RecordPushSuccess(state, clock, ">http://a.example/x<");
  RecordPushSuccess(state, clock, ">" + chinese + "<");

  const std::string path = dir.File("2026-03-07推送成功日志.txt");
  EXPECT_EQ(SuccessLogPath(dir.path(), clock.Now()), path);
  EXPECT_EQ(test::ReadFileBytes(path), "\r\n>http://a.example/x<\r\n>" + chinese + "<");
  EXPECT_EQ(chinese.substr(chinese.size() - 9), "\xD6\xD0\xCE\xC4.html");  // GBK, not UTF-8
  // The temporary file of each write was renamed away.
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"2026-03-07推送成功日志.txt"});
}

TEST(SuccessLog, TodaysFileIsLoadedAndTheTextCarriesOverMidnight) {
  test::TempDir dir;
  ASSERT_TRUE(test::WriteFileBytes(dir.File("2026-03-07推送成功日志.txt"), "\r\n>http://a/1<"));
  ASSERT_TRUE(test::WriteFileBytes(dir.File("2026-03-06推送成功日志.txt"), "\r\n>http://a/old<"));
  AppState state;
  state.runDirectory = dir.path();
  ManualClock clock(ManualClock::At(2026, 3, 7, 23, 59, 59));
  LoadTodaySuccessLog(state, clock);
  EXPECT_TRUE(state.todaySuccessLog.Contains("http://a/1"));
  EXPECT_FALSE(state.todaySuccessLog.Contains("http://a/old"));

  clock.Set(ManualClock::At(2026, 3, 8, 0, 0, 1));
  RecordPushSuccess(state, clock, ">http://a/2<");
  // Not reloaded at midnight: the new day's file gets the whole text.
  EXPECT_EQ(test::ReadFileBytes(dir.File("2026-03-08推送成功日志.txt")), "\r\n>http://a/1<\r\n>http://a/2<");
  EXPECT_EQ(test::ReadFileBytes(dir.File("2026-03-07推送成功日志.txt")), "\r\n>http://a/1<");
}

TEST(SuccessLog, UnwritableDirectoryKeepsTheEntryInMemory) {
  AppState state;
  state.runDirectory = "/nonexistent-qc-dir/sub";
  ManualClock clock(ManualClock::At(2026, 3, 7));
  RecordPushSuccess(state, clock, ">http://a/x<");
  EXPECT_TRUE(state.todaySuccessLog.Contains("http://a/x"));
}

// Contains must answer what a search for ">url<" in the text answers.
TEST(SuccessLog, LookupMatchesTheTextSearch) {
  struct Case {
    const char* text;
    const char* url;
    bool found;
  };
  const Case cases[] = {
      {"\r\n>http://a/x<\r\n>http://a/y<", "http://a/y", true},
      {"\r\n>http://a/x<", "HTTP://A/X", false},          // exact case
      {"\r\n>http://a/xy<", "http://a/x", false},         // a prefix is not an entry
      {"\r\n>http://a/x<", "a/x", false},                 // nor a suffix
      {"", "http://a/x", false},
      {"junk>http://a/x<junk", "http://a/x", true},       // a hand-edited line
      {"\r\n>http://a/x<\r\n>y<", "http://a/x<\r\n>y", true},  // spans entries, as the search does
      {"\r\n>a<b<", "a<b", true},                          // '<' inside an entry
      {"\r\n>a<b<", "a", true},
  };
  for (const Case& c : cases) {
    SuccessLog log;
    log.Assign(c.text);
    EXPECT_EQ(log.Contains(c.url), c.found) << c.text << " / " << c.url;
    EXPECT_EQ(log.Contains(c.url), ContainsText(c.text, std::string(">") + c.url + "<")) << c.url;
  }

  SuccessLog grown;
  grown.Add(">http://a/1<");
  grown.Add(">http://a/2<");
  EXPECT_EQ(grown.text(), "\r\n>http://a/1<\r\n>http://a/2<");
  EXPECT_TRUE(grown.Contains("http://a/1"));
  EXPECT_FALSE(grown.Contains("http://a/3"));
}

}  // namespace
}  // namespace qc
