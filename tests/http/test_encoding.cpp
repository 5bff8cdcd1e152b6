#include "http/encoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace qc {
namespace {

using namespace std::string_literals;

// GBK bytes of the characters the cases use.
const std::string kZhong = "\xD6\xD0";  // 中
const std::string kWen = "\xCE\xC4";    // 文
const std::string kYinHao = "#\xD2\xFD\xBA\xC5";  // #引号
// 丂: a two-byte character whose trail byte is 'A'.
const std::string kTrailA = "\x81\x41";

struct Case {
  std::string input;
  std::string expected;
};

TEST(UrlEncode, KeepsLettersAndDigitsEscapesEverythingElse) {
  const std::vector<Case> cases = {
      {"abc", "abc"},
      {"a b", "a+b"},
      {"a-b.c", "a%2Db%2Ec"},
      {"a+b", "a%2Bb"},
      {kZhong, "%D6%D0"},
      {"_~*/:%", "%5F%7E%2A%2F%3A%25"},
      {"\x01\x7F\xFF", "%01%7F%FF"},
      {"AZaz09", "AZaz09"},
      {"", ""},
      {"ab\0cd"s, "ab"},  // a text ends at its first zero byte
      {"href *= *['\"]*(\\S+)[\"']", "href+%2A%3D+%2A%5B%27%22%5D%2A%28%5CS%2B%29%5B%22%27%5D"},
  };
  for (const Case& c : cases) EXPECT_EQ(UrlEncode(c.input), c.expected) << c.input;
}

TEST(UrlDecode, DecodesValidEscapesAndKeepsBrokenOnes) {
  const std::vector<Case> cases = {
      {"a+b", "a b"},
      {"%4a", "J"},
      {"%4A", "J"},
      {"%G1", "%G1"},
      {"%1G", "%1G"},
      {"100%", "100%"},
      {"%4", "%4"},
      {"%", "%"},
      {"%%41", "%A"},
      {"%00abc", ""},
      {"ab%00cd", "ab"},
      {"%D6%D0", kZhong},
      {"%2B%2b", "++"},
      {"", ""},
      {kZhong + "%41", kZhong + "A"},
  };
  for (const Case& c : cases) EXPECT_EQ(UrlDecode(c.input), c.expected) << c.input;
}

TEST(UrlCoding, DecodeOfEncodeGivesAnyTextBack) {
  std::mt19937 random(20220110);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> length(0, 80);
  for (int round = 0; round < 2000; ++round) {
    std::string text(static_cast<std::size_t>(length(random)), '\0');
    for (char& c : text) c = static_cast<char>(byte(random));
    const Text encoded = UrlEncode(text);
    ASSERT_LE(encoded.size(), text.size() * 3);
    ASSERT_EQ(UrlDecode(encoded), text);
  }
}

TEST(Base64Encode, StandardAlphabetWithPadding) {
  const std::vector<Case> cases = {
      {"", ""},           {"a", "YQ=="},         {"ab", "YWI="},         {"abc", "YWJj"},
      {"foobar", "Zm9vYmFy"}, {"\0\0\0"s, "AAAA"}, {"\xFF\xFE\xFD", "//79"}, {"user:p\0w"s, "dXNlcjpwAHc="},
  };
  for (const Case& c : cases) EXPECT_EQ(Base64Encode(c.input), c.expected);
  // No line breaks at any length.
  EXPECT_EQ(Base64Encode(std::string(300, 'x')).find('\n'), std::string::npos);
}

TEST(DecodeBytesToText, Utf8ToGbkReplacingWhatIsBroken) {
  const std::vector<Case> cases = {
      {"\xE4\xB8\xAD\xE6\x96\x87", kZhong + kWen},
      {"\0abc"s, ""},
      {"a\0b"s, "a"},
      {"", ""},
      {"plain ascii", "plain ascii"},
      {"\xEF\xBB\xBF" "a", "?a"},               // a byte-order mark is a character like any other
      {"\xF0\x9F\x98\x80!", "?!"},              // not in GBK
      {"a\x80" "b", "a?b"},                     // lone continuation byte
      {"a\xE4\xB8", "a?"},                      // truncated at the end
      {"\xE4\xB8" "a", "?a"},                   // truncated, then ASCII survives
      {"\xC0\xAF", "??"},                       // overlong form
      {"\xED\xA0\x80", "???"},                  // encoded surrogate
      {"\xF5\x80\x80\x80", "????"},             // beyond U+10FFFF
      {"\xFF\xE4\xB8\xAD", "?" + kZhong},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeBytesToText(c.input), c.expected) << c.input;
}

TEST(BytesToUtf16, ConvertsUpToFirstZeroAndAddsZeroUnit) {
  EXPECT_EQ(BytesToUtf16(kZhong, kCodePageGbk), "\x2D\x4E\0\0"s);
  EXPECT_EQ(BytesToUtf16("\xE4\xB8\xAD", kCodePageUtf8), "\x2D\x4E\0\0"s);
  EXPECT_EQ(BytesToUtf16("A\0B"s, kCodePageGbk), "A\0\0\0"s);
  EXPECT_EQ(BytesToUtf16("", kCodePageGbk), "");
  EXPECT_EQ(BytesToUtf16("\0A"s, kCodePageGbk), "");
  // A truncated lead byte is replaced (U+FFFD), the rest is kept.
  EXPECT_EQ(BytesToUtf16("a\xD6", kCodePageGbk), "a\0\xFD\xFF\0\0"s);
  EXPECT_EQ(BytesToUtf16("\xD6 ", kCodePageGbk), "\xFD\xFF \0\0\0"s);  // a trail byte no pair has
  // The euro sign of code page 936 and a surrogate pair from UTF-8.
  EXPECT_EQ(BytesToUtf16("\x80", kCodePageGbk), "\xAC\x20\0\0"s);
  EXPECT_EQ(BytesToUtf16("\xF0\x9F\x98\x80", kCodePageUtf8), "\x3D\xD8\x00\xDE\0\0"s);
  EXPECT_EQ(BytesToUtf16("abc", 4242), "");  // a code page nobody knows
}

TEST(Utf16ToText, ConvertsUpToFirstZeroUnit) {
  EXPECT_EQ(Utf16ToText("\x2D\x4E\x87\x65"s), kZhong + kWen);
  EXPECT_EQ(Utf16ToText("a\0b\0\0\0c\0"s), "ab");
  EXPECT_EQ(Utf16ToText(""), "");
  EXPECT_EQ(Utf16ToText("\0\0a\0"s), "");
  EXPECT_EQ(Utf16ToText("a\0b"s), "ab");                         // odd length: the last byte stands alone
  EXPECT_EQ(Utf16ToText("a"), "a");
  EXPECT_EQ(Utf16ToText("\x00\xD8" "a\0"s), "?a");               // lone high surrogate
  EXPECT_EQ(Utf16ToText("\x3D\xD8\x00\xDE"s), "?");               // one character GBK lacks, one '?'
  EXPECT_EQ(Utf16ToText("\x2D\x4E"s, kCodePageUtf8), "\xE4\xB8\xAD");
  EXPECT_EQ(Utf16ToText("a\0"s, 4242), "");
}

TEST(Utf16ToText, WithoutCodePageUsesTheSystemCodePage) {
  SetSystemAnsiCharset("UTF-8");
  EXPECT_EQ(Utf16ToText("\x2D\x4E"s, kCodePageGbk, false), "\xE4\xB8\xAD");
  EXPECT_EQ(BytesToUtf16("\xE4\xB8\xAD", kCodePageAnsi), "\x2D\x4E\0\0"s);
  SetSystemAnsiCharset("GB2312");
  EXPECT_EQ(Utf16ToText("\x2D\x4E"s, kCodePageUtf8, false), kZhong);
  SetSystemAnsiCharset("");
}

TEST(SystemAnsiCharset, FollowsTheLocaleCodeset) {
  const char* saved = std::getenv("LC_ALL");
  const std::string savedValue = saved ? saved : "";
  const std::vector<Case> cases = {
      {"zh_CN.GBK", "GBK"}, {"en_US.ISO-8859-1@euro", "ISO-8859-1"}, {"C", "UTF-8"},
      {"zh_CN", "UTF-8"},   {"xx_XX.NO-SUCH-CODESET", "UTF-8"},
  };
  for (const Case& c : cases) {
    setenv("LC_ALL", c.input.c_str(), 1);
    EXPECT_EQ(SystemAnsiCharset(), c.expected) << c.input;
  }
  if (saved) {
    setenv("LC_ALL", savedValue.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}

struct FindCase {
  std::string text;
  std::string what;
  std::size_t from;
  bool ignoreCase;
  std::size_t expected;
};

TEST(FindText, StepsOverTwoByteCharacters) {
  constexpr std::size_t npos = std::string_view::npos;
  const std::vector<FindCase> cases = {
      {"hello", "l", 0, false, 2},
      {"hello", "l", 3, false, 3},
      {"hello", "L", 0, false, npos},
      {"hello", "L", 0, true, 2},
      {"HeLLo", "ll", 0, true, 2},
      {"hello", "", 0, false, 0},  // the empty text is found in any non-empty text
      {"hello", "", 2, false, 2},
      {"", "", 0, false, npos},    // and never in the empty text
      {"", "a", 0, false, npos},
      {"abc", "abcd", 0, false, npos},
      {"abc", "c", 9, false, npos},
      {kTrailA + "A", "A", 0, false, 2},               // the 'A' inside the character is no match
      {kTrailA + "a", "A", 0, true, 2},
      {"\x81\x61", "\x81\x41", 0, true, npos},          // folding never touches a trail byte
      {kZhong + kWen, "\xD0\xCE", 0, false, npos},     // straddling two characters
      {kZhong + kWen, kWen, 0, false, 2},
      {kZhong + kWen, kWen, 1, false, 2},               // a start inside a character moves on
      {"x\xD6", "\xD6", 0, false, 1},                   // a truncated lead byte at the end
      {"ab\0ab"s, "ab", 1, false, npos},                // a text ends at its first zero byte
  };
  for (const FindCase& c : cases) {
    EXPECT_EQ(FindText(c.text, c.what, c.from, c.ignoreCase), c.expected) << c.text << " / " << c.what;
  }
  EXPECT_TRUE(ContainsText("Content-Type: image/png", "image"));
  EXPECT_FALSE(ContainsText("content-type: Image/PNG", "image"));
  EXPECT_TRUE(ContainsText("content-type: Image/PNG", "Content-Type", true));
}

TEST(TextBefore, ReturnsEverythingLeftOfTheSeparator) {
  struct BeforeCase {
    std::string text;
    std::string separator;
    int start;
    bool ignoreCase;
    std::string expected;
  };
  const std::vector<BeforeCase> cases = {
      {"Set-Cookie: a=1", ": ", 1, false, "Set-Cookie"},
      {"no separator here", ": ", 1, false, ""},
      {"http://a.example:8080/x", ":", 7, false, "http://a.example"},  // from position 7, not from the start
      {"https://a.example:8080/x", ":", 6, false, "https"},
      {"a.example/b", "/", 4, false, "a.example"},
      {"ab/c", "/", 4, false, ""},
      {"ab:c", ":", 0, false, "ab"},   // 0 counts as 1
      {"ab:c", ":", -5, false, "ab"},
      {"ab:c", ":", 99, false, ""},
      {"aXb", "x", 1, true, "a"},
      {"abc", "", 2, false, "a"},
      {kTrailA + "A|", "A", 1, false, kTrailA},
  };
  for (const BeforeCase& c : cases) {
    EXPECT_EQ(TextBefore(c.text, c.separator, c.start, c.ignoreCase), c.expected) << c.text;
  }
}

TEST(TextBetween, FindsAfterBehindBefore) {
  struct BetweenCase {
    std::string text;
    std::string before;
    std::string after;
    int start;
    std::string expected;
  };
  const std::string version = "\xD7\xEE\xD0\xC2\xB0\xE6\xB1\xBE";  // 最新版本
  const std::vector<BetweenCase> cases = {
      {version + "[2.80]", version + "[", "]", 1, "2.80"},
      {"<a href=\"x.html\">y</a>", "href=" + kYinHao, kYinHao, 1, "x.html"},
      {"a href=b href=\"c\" \"d\"", "href=" + kYinHao, kYinHao, 1, "c"},
      {"Set-Cookie: id=7; path=/", "Set-Cookie:", ";", 1, " id=7"},
      {"[1][2]", "[", "]", 2, "2"},
      {"[1]", "<", "]", 1, ""},
      {"[1", "[", "]", 1, ""},
      {"", "[", "]", 1, ""},
      {"[]", "[", "]", 1, ""},
  };
  for (const BetweenCase& c : cases) {
    EXPECT_EQ(TextBetween(c.text, c.before, c.after, c.start), c.expected) << c.text;
  }
  EXPECT_EQ(TextBetween("A<B>", "a<", ">", 1, true), "B");
}

TEST(EdgeConversions, GbkUtf8Utf16BothWays) {
  const std::string gbk = "a" + kZhong + kWen + "\x80";
  const std::string utf8 = "a\xE4\xB8\xAD\xE6\x96\x87\xE2\x82\xAC";
  EXPECT_EQ(TextToUtf8(gbk), utf8);
  EXPECT_EQ(Utf8ToText(utf8), gbk);
  EXPECT_EQ(Utf8ToText("a\0b"s), "ab");  // read whole, zeros dropped
  EXPECT_EQ(TextToUtf8("a\xD6"), "a\xEF\xBF\xBD");
  EXPECT_EQ(TextToUtf8("\xFF" "a"), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(TextToUtf16(gbk), u"a\u4E2D\u6587\u20AC");
  EXPECT_EQ(Utf16ToTextUnits(u"a\u4E2D\u6587\u20AC"), gbk);
  EXPECT_EQ(Utf16ToTextUnits(u"\xD83D\xDE00|\xDC00"), "?|?");
  EXPECT_EQ(Utf16ToTextUnits(std::u16string(u"a\0b", 3)), "ab");
}

TEST(CharsetToText, ReadsTheLabelledCharset) {
  struct CharsetCase {
    std::string bytes;
    std::string charset;
    std::string expected;
  };
  const std::vector<CharsetCase> cases = {
      {"\xE4\xB8\xAD", "utf-8", kZhong},
      {"\xE4\xB8\xAD", "UTF8", kZhong},
      {"\xE4\xB8\xAD", "", kZhong},
      {"\xE4\xB8\xAD", "no-such-charset", kZhong},
      {kZhong, "GB2312", kZhong},
      {kZhong, "gbk", kZhong},
      {kZhong, "\"GBK\"", kZhong},
      {kZhong + "\x81", "gb2312", kZhong + "?"},
      {"caf\xE9", "ISO-8859-1", "caf\xA8\xA6"},
      {"\xD6\xD0", "gb18030", kZhong},
      {"a\0b"s, "utf-8", "ab"},
  };
  for (const CharsetCase& c : cases) EXPECT_EQ(CharsetToText(c.bytes, c.charset), c.expected) << c.charset;
}

}  // namespace
}  // namespace qc
