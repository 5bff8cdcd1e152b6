#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "http/cookie_store.h"
#include "http/cookie_text.h"

namespace qc {
namespace {

TEST(MergeCookieText, MergesNewFirstDropsDeletedAndRepeats) {
  struct Case {
    std::string oldText, newText, merged;
  };
  const Case cases[] = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1"},
      {"a=1;", "a=deleted", ""},
      {"a=1; a=2", "", "a=1"},
      {"", "", ""},
      {"", "x=1", "x=1"},
      {"  a=1; ", " b=2;", "b=2; a=1"},
      // Names compare case-sensitively and are trimmed.
      {"A=1", "a=2", "a=2; A=1"},
      {"a =1", "a=2", "a=2"},
      // Only the lower-case marker deletes here.
      {"a=1", "a=DELETED", "a=DELETED"},
  };
  for (const auto& c : cases) {
    Text oldText = c.oldText;
    Text newText = c.newText;
    EXPECT_EQ(MergeCookieText(oldText, newText), c.merged) << c.oldText << " + " << c.newText;
    EXPECT_EQ(oldText, c.merged) << "the old variable holds the result";
  }
}

TEST(MergeCookieText, TrimsTheNewVariableInPlace) {
  Text oldText = "a=1";
  Text newText = "  b=2;";
  MergeCookieText(oldText, newText);
  EXPECT_EQ(newText, "b=2; ");
}

TEST(RemoveRepeatedItems, BySeparatorAndByCharacter) {
  EXPECT_EQ(RemoveRepeatedItems("a; b; a; c; b", "; ", true), "a; b; c");
  EXPECT_EQ(RemoveRepeatedItems("", "; ", true), "");
  EXPECT_EQ(RemoveRepeatedItems("a; ; b; ", "; ", true), "a; ; b");
  // An empty separator splits nowhere: one item, and the call returns.
  EXPECT_EQ(RemoveRepeatedItems("abc", "", true), "abc");
  EXPECT_EQ(RemoveRepeatedItems("abcab", ",", false), "a,b,c");
  // A two-byte character and a CR LF pair are single items.
  EXPECT_EQ(RemoveRepeatedItems("\xC4\xE3\xC4\xE3\r\n\r\n", "|", false), "\xC4\xE3|\r\n");
}

TEST(IndexOfText, FirstExactMatchCountingFromOne) {
  const std::vector<Text> array = {"y", "x", "x"};
  EXPECT_EQ(IndexOfText(array, "x"), 2);
  EXPECT_EQ(IndexOfText(array, "X"), -1);
  EXPECT_EQ(IndexOfText({}, "x"), -1);
}

TEST(ResponseCookieScan, EntriesAndValues) {
  const Text headers = "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/\r\nContent-Type: text/html\r\n";
  EXPECT_EQ(ResponseCookiesText(headers), "a=1; b=2");
  EXPECT_EQ(ResponseCookieValue(headers, "b"), "2");
  EXPECT_EQ(ResponseCookieValue(headers, "B"), "2") << "the name search ignores case";
  EXPECT_EQ(ResponseCookieValue(headers, "c"), "");
  EXPECT_EQ(ResponseCookiesText(""), "");
  // Deleted entries are left out; entries without "=" stay; repeats stay.
  EXPECT_EQ(ResponseCookiesText("Set-Cookie: a=deleted; x\r\nset-cookie: flag; x\r\nSet-Cookie: c=1; x\r\n"
                                "Set-Cookie: c=2; x\r\n"),
            "flag; c=1; c=2");
}

TEST(ResponseCookieScan, AttributeLessLineEndsAtItsOwnLine) {
  const Text headers = "Set-Cookie: a=1\r\nX-Other: p; q\r\nSet-Cookie: b=2; path=/\r\n";
  EXPECT_EQ(SetCookieEntries(headers, false), (std::vector<Text>{"a=1;", "b=2;"}));
  EXPECT_EQ(ResponseCookiesText(headers), "a=1; b=2");
  EXPECT_EQ(ResponseCookieValue(headers, "a"), "1");
  // The last line may lack its line break too.
  EXPECT_EQ(SetCookieEntries("Set-Cookie: z=9", false), (std::vector<Text>{"z=9;"}));
}

TEST(ResponseCookieScan, CaseOfLaterMatches) {
  const Text headers = "Set-Cookie: a=1; x\r\nset-cookie: b=2; x\r\n";
  EXPECT_EQ(SetCookieEntries(headers, false).size(), 1u) << "the jar and the store look case-sensitively";
  EXPECT_EQ(SetCookieEntries(headers, true).size(), 2u);
}

TEST(CookieJar, CollectsResponseCookies) {
  struct Case {
    std::string jar, headers, after;
    bool skipBlank;
  };
  const Case cases[] = {
      {"; a=1; ", "Set-Cookie: a=2; path=/\r\n", "; a=2; ", false},
      {"; a=1; ", "Set-Cookie: b=3; path=/\r\n", "; a=1; b=3; ", false},
      {"; a=1; ", "Set-Cookie: a=deleted; path=/\r\n", "; ", false},
      {"; a=1; b=2; ", "Set-Cookie: b=DELETED; path=/\r\n", "; a=1; ", false},
      {"; a=1; b=2; ", "Set-Cookie: a=Deleted; path=/\r\n", "; b=2; ", false},
      // Names are case-sensitive.
      {"; a=1; ", "Set-Cookie: A=5; path=/\r\n", "; a=1; A=5; ", false},
      // An unknown deleted name changes nothing; an entry without "=" is passed over.
      {"; a=1; ", "Set-Cookie: z=deleted; path=/\r\nSet-Cookie: flag; x\r\n", "; a=1; ", false},
      // A blank value replaces the old one unless blanks are skipped.
      {"; a=1; ", "Set-Cookie: a=; path=/\r\n", "; a=; ", false},
      {"; a=1; ", "Set-Cookie: a=; path=/\r\n", "; a=1; ", true},
      {"; a=1; ", "Set-Cookie: a=deleted; path=/\r\n", "; ", true},
      // Without attributes the cookie still ends at its line.
      {"; ", "Set-Cookie: s=1\r\nSet-Cookie: t=2; path=/\r\n", "; s=1; t=2; ", false},
      {"; ab=1; ", "Set-Cookie: b=2; x\r\n", "; ab=1; b=2; ", false},
  };
  for (const auto& c : cases) {
    Text jar = c.jar;
    const bool changed = CollectCookiesIntoJar(jar, c.headers, c.skipBlank);
    EXPECT_EQ(jar, c.after) << c.jar << " <- " << c.headers;
    EXPECT_EQ(changed, c.jar != c.after) << c.jar << " <- " << c.headers;
  }
}

TEST(CookieJar, MergeDeleteAndRead) {
  Text jar = "; a=1; b=2; ";
  EXPECT_TRUE(MergeCookiesIntoJar(jar, "a=9; c=1"));
  EXPECT_EQ(jar, "; a=9; b=2; c=1; ");
  EXPECT_FALSE(MergeCookiesIntoJar(jar, "novalue"));
  EXPECT_FALSE(MergeCookiesIntoJar(jar, ""));

  jar = "; a=1; b=2; ";
  EXPECT_TRUE(DeleteCookiesFromJar(jar, "a"));
  EXPECT_EQ(jar, "; b=2; ");
  jar = "; a=1; b=2; c=3; ";
  EXPECT_TRUE(DeleteCookiesFromJar(jar, "a=1; c"));
  EXPECT_EQ(jar, "; b=2; ");
  EXPECT_FALSE(DeleteCookiesFromJar(jar, "zz"));
  EXPECT_FALSE(DeleteCookiesFromJar(jar, ";;"));

  EXPECT_EQ(JarCookieValue("; ab=2; a=1; ", "a", false), "1");
  EXPECT_EQ(JarCookieValue("; ab=2; a=1; ", "a", true), "a=1");
  EXPECT_EQ(JarCookieValue("; ab=2; ", "a", false), "");
  EXPECT_EQ(JarCookieValue("; a=1; ", "", false), "");

  EXPECT_EQ(JarCookieText("; a=1; b=2; "), "a=1; b=2");
  EXPECT_EQ(JarCookieText("; "), "");
  EXPECT_EQ(CookieTextToJar("a=1"), "; a=1; ");
  EXPECT_EQ(CookieTextToJar("a=1;"), "; a=1; ");
  EXPECT_EQ(CookieTextToJar("; a=1; "), "; a=1; ");
  EXPECT_EQ(CookieTextToJar(""), "; ");
}

class CookieStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { CookieStore::Instance().Clear(); }
  void TearDown() override { CookieStore::Instance().Clear(); }
};

TEST_F(CookieStoreTest, MatchesHostAndPath) {
  auto& store = CookieStore::Instance();
  EXPECT_TRUE(store.SetCookie("http://shop.a.example/", "root", "1"));
  EXPECT_TRUE(store.SetCookie("http://shop.a.example/cart/view.html?x=1", "cart", "2"));
  EXPECT_TRUE(store.SetCookie("http://other.example/", "other", "3"));
  EXPECT_FALSE(store.SetCookie("not a url", "x", "1"));
  EXPECT_FALSE(store.SetCookie("http://shop.a.example/", "", "1"));

  struct Case {
    const char* url;
    const char* cookies;
  };
  const Case cases[] = {
      {"http://shop.a.example/", "root=1"},
      {"https://SHOP.a.example:8443/cart/pay", "cart=2; root=1"},
      {"http://shop.a.example/cart", "cart=2; root=1"},
      {"http://shop.a.example/cartoon", "root=1"},
      {"http://a.example/cart/", ""},
      {"http://other.example/x/y", "other=3"},
  };
  for (const auto& c : cases) EXPECT_EQ(store.GetCookies(c.url), c.cookies) << c.url;

  EXPECT_TRUE(store.SetCookie("http://shop.a.example/", "root", "new"));
  EXPECT_EQ(store.GetCookies("http://shop.a.example/"), "root=new");
  EXPECT_TRUE(store.RemoveCookie("http://shop.a.example/index.html", "root"));
  EXPECT_EQ(store.GetCookies("http://shop.a.example/"), "");
}

TEST_F(CookieStoreTest, StaysBoundedPerHost) {
  auto& store = CookieStore::Instance();
  for (int i = 0; i < 1000; ++i) store.SetCookie("http://h.example/", "c" + std::to_string(i), "v");
  const Text all = store.GetCookies("http://h.example/");
  EXPECT_EQ(all.find("c0="), Text::npos) << "the oldest went first";
  EXPECT_NE(all.find("c999=v"), Text::npos);
  EXPECT_FALSE(store.SetCookie("http://h.example/", "big", std::string(10000, 'x')));
}

}  // namespace
}  // namespace qc
