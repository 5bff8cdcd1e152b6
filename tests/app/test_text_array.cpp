#include "app/text_array.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace qc {
namespace {

// The plain algorithm: scan the kept entries for every entry.
TextArray RemoveDuplicatesByScanning(const TextArray& list) {
  TextArray kept;
  for (const Text& item : list) {
    if (!kept.Contains(item)) kept.Append(item);
  }
  return kept;
}

TEST(TextArray, CountsFromOne) {
  TextArray list{"a", "b"};
  list.Append(TextArray{"c"});
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(list.At(1), "a");
  EXPECT_EQ(list.At(3), "c");
  EXPECT_EQ(list.At(0), "");
  EXPECT_EQ(list.At(4), "");
  Text source = "d";
  list.Append(source);
  source = "changed";
  EXPECT_EQ(list.At(4), "d");
  list.Clear();
  EXPECT_TRUE(list.Empty());
}

TEST(RemoveDuplicates, KeepsFirstOccurrencesInOrder) {
  const std::string longA(100, 'a');  // beyond the short-string buffer
  const std::string longB = longA + "b";
  struct Case {
    TextArray input;
    TextArray expected;
  };
  const std::vector<Case> cases = {
      {{"a", "b", "a", "c", "b"}, {"a", "b", "c"}},
      {{"URL", "url", "Url"}, {"URL", "url", "Url"}},
      {{}, {}},
      {{"x", "x", "x"}, {"x"}},
      {{"", "a", ""}, {"", "a"}},
      {{longA, longB, longA, longB, "s"}, {longA, longB, "s"}},
  };
  for (const Case& c : cases) {
    TextArray list = c.input;
    EXPECT_EQ(RemoveDuplicates(list), static_cast<int>(c.expected.Count()));
    EXPECT_EQ(list, c.expected);
  }
}

TEST(RemoveDuplicates, SameResultAsScanningOnRandomLists) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> value(0, 40);
  std::uniform_int_distribution<int> length(0, 200);
  for (int round = 0; round < 200; ++round) {
    TextArray list;
    const int n = length(random);
    for (int i = 0; i < n; ++i) list.Append("https://a.example/page/" + std::to_string(value(random)));
    const TextArray expected = RemoveDuplicatesByScanning(list);
    RemoveDuplicates(list);
    ASSERT_EQ(list, expected);
  }
}

TEST(SplitText, SplitsAtEveryOneCharacterSeparator) {
  struct Case {
    std::string text;
    std::string separator;
    TextArray expected;
  };
  const std::vector<Case> cases = {
      {"javascript,image,css", ",", {"javascript", "image", "css"}},
      {"a,,b", ",", {"a", "", "b"}},
      {"a,", ",", {"a", ""}},
      {",a", ",", {"", "a"}},
      {"abc", ",", {"abc"}},
      {"", ",", {}},
      {"abc", "", {"abc"}},
      {"a\xA3\xAC" "b", "\xA3\xAC", {"a", "b"}},          // a two-byte separator (full-width comma)
      {"\x81\x7C|b", "|", {"\x81\x7C", "b"}},             // '|' inside a character is no separator
  };
  for (const Case& c : cases) EXPECT_EQ(SplitText(c.text, c.separator), c.expected) << c.text;
}

}  // namespace
}  // namespace qc
