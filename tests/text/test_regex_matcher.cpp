#include "text/regex_matcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qc {
namespace {

// Test texts are written in UTF-8 and handed over as GBK.
Text G(const char* utf8) { return Utf8ToText(utf8); }

const Text kLinkPattern = "href *= *['\"]*(\\S+)[\"']";

std::vector<Text> Matches(const RegexMatcher& re) {
  std::vector<Text> out;
  for (int i = 1; i <= re.GetMatchCount(); ++i) out.push_back(re.GetMatchText(i));
  return out;
}

Text Joined(const std::vector<Text>& list) {
  Text out;
  for (std::size_t i = 0; i < list.size(); ++i) out += (i == 0 ? "" : "|") + list[i];
  return out;
}

// --- Flags and the match collection ------------------------------------------

TEST(RegexMatcher, DefaultsIgnoreCaseAndCollectAll) {
  RegexMatcher re;
  ASSERT_TRUE(re.Create("a", "xAa"));
  EXPECT_EQ(re.GetMatchCount(), 2);
  EXPECT_EQ(Matches(re), (std::vector<Text>{"A", "a"}));
  ASSERT_TRUE(re.Create("a", "xAa", true));
  EXPECT_EQ(re.GetMatchCount(), 1);
  ASSERT_TRUE(re.Create("a", "xAa", false, true, false));
  EXPECT_EQ(Matches(re), std::vector<Text>{"A"});
}

TEST(RegexMatcher, QuoteMarkers) {
  const Text html = "<a href=\"/x.html\">";
  const Text pattern = G("href=#引号(.*?)#引号");
  RegexMatcher re;
  ASSERT_TRUE(re.Create(pattern, html, false, true, true, true));
  EXPECT_EQ(re.GetPattern(), "href=\"(.*?)\"");
  EXPECT_EQ(re.GetSubMatchText(1, 1), "/x.html");

  ASSERT_TRUE(re.Create(pattern, html));
  EXPECT_EQ(re.GetPattern(), pattern);
  EXPECT_EQ(re.GetMatchCount(), 0);
  ASSERT_TRUE(re.Create(pattern, G("href=#引号abc#引号")));
  EXPECT_EQ(re.GetSubMatchText(1, 1), "abc");
}

TEST(RegexMatcher, IndexesOutsideTheCollectionGiveEmptyTexts) {
  RegexMatcher re;
  EXPECT_EQ(re.GetPattern(), "");
  EXPECT_EQ(re.GetMatchCount(), 0);
  EXPECT_EQ(re.GetMatchText(1), "");
  EXPECT_EQ(re.ReplaceMatches("x"), "");

  ASSERT_TRUE(re.Create("(a)|(b)", "b"));
  EXPECT_EQ(re.GetSubMatchCount(), 2);
  EXPECT_EQ(re.GetSubMatchText(1, 1), "");
  EXPECT_EQ(re.GetSubMatchText(1, 2), "b");
  int position = 7;
  for (int index : {0, -1, 2}) {
    EXPECT_EQ(re.GetMatchText(index, &position), "") << index;
    EXPECT_EQ(position, -2);
    EXPECT_EQ(re.GetSubMatchText(index, 1), "") << index;
  }
  EXPECT_EQ(re.GetSubMatchText(1, 0), "");
  EXPECT_EQ(re.GetSubMatchText(1, 3), "");

  ASSERT_TRUE(re.Create("(z)", "b"));  // no match: no groups either
  EXPECT_EQ(re.GetMatchCount(), 0);
  EXPECT_EQ(re.GetSubMatchCount(), 0);
}

TEST(RegexMatcher, BytePositionsBySearchFromTheCharacterIndex) {
  const struct {
    const char* subject;
    const char* pattern;
    int match;
    int group;  // 0: the match itself
    const char* text;
    int position;
  } cases[] = {
      {"中文abc", "abc", 1, 0, "abc", 4},
      {"abc", "abc", 1, 0, "abc", 0},
      // The search starts at byte 2 for character 3: the first 文 is
      // found again.
      {"中文中文", "文", 2, 0, "文", 2},
      {"中x文(y)", "\\((.)\\)", 1, 1, "y", 6},
      // A group's text is searched from its match's start: an equal text
      // earlier in the match is found instead.
      {"--x=x", "(x)=(x)", 1, 2, "x", 2},
      // The search starts one byte early, so an equal text just before the
      // match is taken.
      {"aaaa", "a", 3, 0, "a", 1},
      {"全角ａｂ", "ｂ", 1, 0, "ｂ", 6},
  };
  for (const auto& c : cases) {
    RegexMatcher re;
    ASSERT_TRUE(re.Create(G(c.pattern), G(c.subject))) << c.pattern;
    int position = -7;
    const Text text = c.group == 0 ? re.GetMatchText(c.match, &position)
                                   : re.GetSubMatchText(c.match, c.group, &position);
    EXPECT_EQ(text, G(c.text)) << c.subject << " / " << c.pattern;
    EXPECT_EQ(position, c.position) << c.subject << " / " << c.pattern;
  }
}

TEST(RegexMatcher, CopiesKeepTheirResults) {
  RegexMatcher a;
  ASSERT_TRUE(a.Create("o", "foo"));
  RegexMatcher b = a;
  ASSERT_TRUE(a.Create("x", "xxxx"));
  EXPECT_EQ(a.GetMatchCount(), 4);
  EXPECT_EQ(b.GetMatchCount(), 2);
  EXPECT_EQ(b.ReplaceMatches("0"), "f00");
}

// --- The script dialect ------------------------------------------------------

TEST(RegexMatcherDialect, MatchesAsTheScriptEngineFindsThem) {
  const struct {
    const char* pattern;
    const char* subject;
    bool multiline;
    const char* matches;  // joined by '|'
  } cases[] = {
      {"a$", "a\na", false, "a"},
      {"a$", "a\n", false, ""},  // '$' is the very end only
      {"a$", "a\n", true, "a"},
      {"^b", "a\rb\nb", true, "b|b"},
      {"^b", "a\rb", false, ""},
      {"^\n", "a\r\nb", true, "\n"},    // between "\r" and "\n" is a line start
      {"a.b", "a\rb a\nb a b", true, "a b"},
      {"x\\s", "x x\tx\fx\vx\rx\n", true, "x |x\t|x\f|x\v|x\r|x\n"},
      {"x\\s", "x　", true, ""},  // no Unicode spaces (U+3000 here)
      {"a$", "a\rb", true, "a"},
      {"x\\S+", "x中文 xy", true, "x中文|xy"},
      {"(a)?\\1b", "b", true, "b"},           // an unset group matches empty
      {"\\u4e2d+", "中中文", true, "中中"},
      {"\\x41", "zAz", true, "A"},
      {"a*", "baaa", true, "|aaa|"},          // empty matches move on one unit
      {"", "ab", true, "||"},
      {"x*", "中文", true, "||"},
      {"[]", "abc", true, ""},
      {"[^]", "a\n", true, "a|\n"},
      {"[.^$]", "a.^$", true, ".|^|$"},
      {"\\v", "\v\n", true, "\v"},
      {"\\k\\q", "kq", true, "kq"},           // escaped letters without a meaning stand for themselves
      {"\\d+\\w*", "a12bc ３", true, "12bc"},
      {"\\bhe\\b", "he said he", true, "he|he"},
      {"[-a-zA-Z0-9]{0,2}\\.", "abc.d.", true, "bc.|d."},
      {"(?:ab)+|c", "ababxc", true, "abab|c"},
  };
  for (const auto& c : cases) {
    RegexMatcher re;
    ASSERT_TRUE(re.Create(G(c.pattern), G(c.subject), false, c.multiline)) << c.pattern;
    EXPECT_EQ(Joined(Matches(re)), G(c.matches)) << "pattern " << c.pattern << " over " << c.subject;
  }
}

TEST(RegexMatcherDialect, ChineseGroupsComeBackAsGbk) {
  const Text page = G("<a href='/新闻/1.html'>新闻</a>\n<A HREF=\"/关于.html\">关于</A> <a href=x>");
  RegexMatcher re;
  ASSERT_TRUE(re.Create(kLinkPattern, page));
  ASSERT_EQ(re.GetMatchCount(), 2);
  EXPECT_EQ(re.GetSubMatchText(1, 1), G("/新闻/1.html"));
  EXPECT_EQ(re.GetSubMatchText(2, 1), G("/关于.html"));
  EXPECT_EQ(re.GetSubMatchCount(), 1);
}

TEST(RegexMatcherDialect, DomainPattern) {
  const Text pattern = "[a-zA-Z0-9][-a-zA-Z0-9]{0,62}(\\.[a-zA-Z0-9][-a-zA-Z0-9]{0,62})+\\.?";
  const struct {
    const char* subject;
    const char* host;
  } cases[] = {
      {"http://www.example.com/path", "www.example.com"},
      {"www.Example.com.cn:8080", "www.Example.com.cn"},
      {"中文站点 blog.example.org.", "blog.example.org."},
      {"no dots here", ""},
  };
  for (const auto& c : cases) {
    RegexMatcher re;
    ASSERT_TRUE(re.Create(pattern, G(c.subject)));
    EXPECT_EQ(re.GetMatchText(1), c.host) << c.subject;
  }
}

// --- Replacement -------------------------------------------------------------

TEST(RegexMatcherReplace, ScriptReplacementSyntax) {
  const struct {
    const char* pattern;
    const char* subject;
    bool global;
    const char* replacement;
    const char* result;
  } cases[] = {
      {"o", "foo", true, "-", "f--"},
      {"o", "foo", false, "-", "f-o"},
      {"(\\w)(\\d)", "a1 b2", true, "$2$1", "1a 2b"},
      {"b", "abc", true, "[$&|$`|$'|$$]", "a[b|a|c|$]c"},
      {"(b)", "abc", true, "$0$2$10$01$", "a$0$2b0b$c"},
      {"(a)|(b)", "ab", true, "<$1$2>", "<a><b>"},
      {"((((((((((a))))))))))", "a", true, "$10$11$99$", "aa1a9$"},
      {"x*", "ab", true, "-", "-a-b-"},
      {"z", "abc", true, "-", "abc"},
      {"文", "中文字文", true, "[$&]", "中[文]字[文]"},
  };
  for (const auto& c : cases) {
    RegexMatcher re;
    ASSERT_TRUE(re.Create(G(c.pattern), G(c.subject), false, true, c.global)) << c.pattern;
    EXPECT_EQ(re.ReplaceMatches(G(c.replacement)), G(c.result)) << c.pattern << " -> " << c.replacement;
  }
}

// --- Bad input ---------------------------------------------------------------

TEST(RegexMatcherBadInput, RejectedPatterns) {
  for (const char* pattern : {"(", ")", "[a", "a{2,1}", "\\", "(?<", "*a", "a**", "(?P<n>", "(*FAIL"}) {
    RegexMatcher re;
    EXPECT_FALSE(re.Create(pattern, "a(b)c")) << pattern;
    EXPECT_EQ(re.GetPattern(), pattern);
    EXPECT_EQ(re.GetMatchCount(), 0);
    EXPECT_EQ(re.GetSubMatchCount(), 0);
    EXPECT_EQ(re.GetMatchText(1), "");
    EXPECT_EQ(re.GetSubMatchText(1, 1), "");
    EXPECT_EQ(re.ReplaceMatches("x"), "");
  }
}

TEST(RegexMatcherBadInput, CatastrophicBacktrackingStopsWithWhatWasFound) {
  const std::string tail(40, 'a');
  const struct {
    const char* pattern;
    std::string subject;
    int found;
  } cases[] = {
      {"(a+)+b", tail, 0},
      {"(a+)+b", "ab " + tail, 1},
      {"(a|aa)+$", tail + "!", 0},
      {"^(\\w+\\s?)*$", std::string(5000, 'a') + " " + tail + "!", 0},
      {"(x+x+)+y", "xxy " + std::string(5000, 'x'), 1},
  };
  for (const auto& c : cases) {
    RegexMatcher re;
    EXPECT_TRUE(re.Create(c.pattern, c.subject)) << c.pattern;
    EXPECT_EQ(re.GetMatchCount(), c.found) << c.pattern;
  }
}

TEST(RegexMatcherBadInput, ManyCostlyMatchesShareOneBudget) {
  // Every match costs hundreds of thousands of steps, each under the limit
  // of one search; together they would run for minutes.
  std::string subject;
  for (int i = 0; i < 5000; ++i) subject += std::string(20, 'a') + "c";
  RegexMatcher re;
  EXPECT_TRUE(re.Create("(a+)+b|c", subject));
  EXPECT_GT(re.GetMatchCount(), 0);
  EXPECT_LT(re.GetMatchCount(), 5000);
  EXPECT_EQ(re.GetMatchText(1), "c");

  // Cheap matches are not cut short by it: one per unit of a long subject.
  const std::string wide(2 * 1024 * 1024, 'x');
  EXPECT_TRUE(re.Create("", wide));
  EXPECT_EQ(re.GetMatchCount(), static_cast<int>(wide.size()) + 1);
}

TEST(RegexMatcherBadInput, DeepRepetitionDoesNotOverflowTheStack) {
  // Each repetition of a group with alternatives keeps a backtracking
  // point; a long subject runs out of the bounded stack, not the real one.
  const std::string subject(4 * 1024 * 1024, 'a');
  for (const char* pattern : {"(a|b)*c", "(?:a|ab)*$", "((a)|b)+"}) {
    RegexMatcher re;
    EXPECT_TRUE(re.Create(pattern, subject)) << pattern;
    EXPECT_LE(re.GetMatchCount(), 1) << pattern;
  }
  RegexMatcher re;
  EXPECT_TRUE(re.Create("(a)[ab]*", subject));  // a plain long match still works
  EXPECT_EQ(re.GetMatchCount(), 1);
  EXPECT_EQ(re.GetMatchText(1).size(), subject.size());
}

TEST(RegexMatcherBadInput, HugeSubjectWithoutWhitespace) {
  // 20 MiB in one "word": the link pattern's \S+ runs to the end of the
  // subject from every href.
  std::string subject;
  const std::string chunk = G("<a#href='/p/1.html'>中文标题</a>");
  while (subject.size() < 20 * 1024 * 1024) subject += chunk;
  RegexMatcher re;
  EXPECT_TRUE(re.Create(kLinkPattern, subject));
  EXPECT_LE(re.GetMatchCount(), 1);
  if (re.GetMatchCount() == 1) {
    EXPECT_EQ(re.GetSubMatchText(1, 1).substr(0, 11), "/p/1.html'>");
  }

  const std::string flat(20 * 1024 * 1024, 'x');
  EXPECT_TRUE(re.Create(kLinkPattern, "href=" + flat));
  EXPECT_EQ(re.GetMatchCount(), 0);
}

TEST(RegexMatcherBadInput, MalformedGbkSubject) {
  RegexMatcher re;
  ASSERT_TRUE(re.Create("b", "a\x81\xFF" "b\xFE"));
  EXPECT_EQ(re.GetMatchCount(), 1);
  EXPECT_EQ(re.GetMatchText(1), "b");
}

}  // namespace
}  // namespace qc
