#include <gtest/gtest.h>

#include <random>

#include "app/app_state.h"
#include "app/config_file.h"
#include "app/memory_window.h"
#include "support/engine_temp_dir.h"

namespace qc {
namespace {

// Adding with AppendUnique gives what appending and then RemoveDuplicates
// gives: the list the task would have built by linear scans.
TEST(UrlList, MatchesAppendThenRemoveDuplicates) {
  std::mt19937 random(7);
  UrlList list;
  TextArray reference;
  for (int round = 0; round < 50; ++round) {
    TextArray batch;
    const int size = static_cast<int>(random() % 20);
    for (int i = 0; i < size; ++i) batch.Append("u" + std::to_string(random() % 40) + (random() % 2 ? "A" : "a"));
    list.AppendUnique(batch);
    reference.Append(batch);
    RemoveDuplicates(reference);
    ASSERT_EQ(list.ToTextArray(), reference);
  }
  EXPECT_EQ(list.PublishedCount(), reference.Count());
  EXPECT_EQ(list.At(1), reference.At(1));
  EXPECT_EQ(list.At(0), "");
  EXPECT_EQ(list.At(list.Count() + 1), "");
  list.Clear();
  EXPECT_EQ(list.PublishedCount(), 0u);
  EXPECT_FALSE(list.Contains(reference.At(1)));
}

TEST(TextToNumber, ReadsLeadingNumber) {
  const std::pair<const char*, double> cases[] = {
      {"5", 5},   {"2.5", 2.5}, {" 12", 12},   {"12abc", 12}, {"-3", -3}, {"+4", 4},
      {"", 0},    {"abc", 0},   {"nan", 0},    {"inf", 0},    {".5", 0.5}, {"1e3", 1},
  };
  for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(TextToNumber(text), value) << text;
  EXPECT_GT(TextToNumber(std::string(400, '9')), 1e300);
}

TEST(CreationSteps, WriteDefaultsLogStartAndLoadState) {
  test::TempDir dir;
  ASSERT_TRUE(test::WriteFileBytes(dir.File("2026-03-07推送成功日志.txt"), "\r\n>http://a/1<"));
  AppState state;
  state.runDirectory = dir.path();
  state.version = 2.75;
  state.stopRequested = 1;
  MemoryWindow window;
  MemoryPrompter prompter;
  ManualClock clock(ManualClock::At(2026, 3, 7, 9, 0, 0));
  int restarts = 0;

  RunCreationSteps(state, {window, prompter, clock}, [&] { ++restarts; });

  EXPECT_EQ(restarts, 1);
  EXPECT_EQ(test::ReadFileBytes(ConfigFilePath(dir.path())), std::string(DefaultConfigContent()));
  const Text caption = Utf8ToText("Quillcast 版本：2.75");
  EXPECT_EQ(window.LogMessages(), (std::vector<Text>{Utf8ToText("软件启动"), caption}));
  EXPECT_EQ(window.ReadText(Control::WindowCaption), caption);
  EXPECT_TRUE(state.todaySuccessLog.Contains("http://a/1"));
  EXPECT_EQ(state.stopRequested.load(), 0);
  EXPECT_EQ(state.endpoints.pushApi, "http://data.zz.baidu.com");

  // With the file present nothing is written and nothing restarts.
  RunCreationSteps(state, {window, prompter, clock}, [&] { ++restarts; });
  EXPECT_EQ(restarts, 1);
}

}  // namespace
}  // namespace qc
