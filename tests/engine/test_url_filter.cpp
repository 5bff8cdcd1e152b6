#include <gtest/gtest.h>

#include "engine/indexed_check.h"
#include "engine/site_crawler.h"
#include "support/engine_world.h"
#include "support/loopback_socket_server.h"

namespace qc {
namespace {

class UrlFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    crawler.SetSite(world.Url("/"));
    world.site.Page("/ok.html", "<p>ok</p>");
    world.site.Page("/img.png", "png", "image/png");
    world.site.Page("/upper.png", "png", "Image/PNG");
    world.site.Page("/style.css", "x", "text/css");
    world.site.Page("/hotel.html", "<p>hotel</p>");
    world.site.Page("/err.html", "boom", "text/html", 500);
    world.site.Redirect("/moved.html", "/ok.html");
    world.site.Redirect("/loop1.html", "/loop2.html");
    world.site.Redirect("/loop2.html", "/loop1.html");
  }
  test::EngineWorld world;
  SiteCrawler crawler{world.state, world.window, world.clock};
};

TEST_F(UrlFilterTest, CheckUrlAcceptsOnlyNewPagesOfTheSite) {
  struct Case {
    const char* path;
    bool accepted;
    bool rejected;  // remembered for the run
  };
  const Case cases[] = {
      {"/ok.html", true, false},
      {"/moved.html", true, false},  // the final status counts
      {"/missing.html", false, true},
      {"/err.html", false, true},
      {"/img.png", false, true},
      {"/upper.png", true, false},  // keywords are matched exact-case
      {"/style.css", false, true},
      {"/loop1.html", false, true},
  };
  for (const Case& c : cases) {
    const std::string url = world.Url(c.path);
    EXPECT_EQ(crawler.CheckUrl(url, false), c.accepted) << c.path;
    EXPECT_EQ(world.state.rejectedUrls.Contains(url), c.rejected) << c.path;
  }
  // A rejected URL is not asked for again; nor is one already gathered,
  // nor one of another site.
  const int before = world.site.RequestCount();
  EXPECT_FALSE(crawler.CheckUrl(world.Url("/missing.html"), false));
  world.state.pushList.AppendUnique(world.Url("/ok.html"));
  EXPECT_FALSE(crawler.CheckUrl(world.Url("/ok.html"), false));
  EXPECT_FALSE(crawler.CheckUrl("http://other.example/?" + world.Url("/ok.html"), false));
  EXPECT_EQ(world.site.RequestCount(), before);
}

TEST_F(UrlFilterTest, NoReplyDropsTheUrlForThisPassOnly) {
  test::LoopbackSocketServer flaky(test::LoopbackSocketServer::DropFirstThenReply(
      "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 2\r\n\r\nok"));
  ASSERT_TRUE(flaky.Start());
  crawler.SetSite(flaky.Url("/"));
  EXPECT_FALSE(crawler.CheckUrl(flaky.Url("/"), false));
  EXPECT_FALSE(world.state.rejectedUrls.Contains(flaky.Url("/")));
  EXPECT_TRUE(crawler.CheckUrl(flaky.Url("/"), false));
}

TEST_F(UrlFilterTest, ContentTypeIsReadFromItsOwnHeaderOnly) {
  // Servers often send X-Content-Type-Options before Content-Type.
  test::LoopbackSocketServer server(test::LoopbackSocketServer::Reply(
      "HTTP/1.1 200 OK\r\nX-Content-Type-Options: nosniff\r\ncontent-type : image/png\r\n"
      "Content-Length: 3\r\n\r\npng"));
  ASSERT_TRUE(server.Start());
  crawler.SetSite(server.Url("/"));
  EXPECT_FALSE(crawler.CheckUrl(server.Url("/logo.png"), false));
  EXPECT_TRUE(world.state.rejectedUrls.Contains(server.Url("/logo.png")));
}

TEST_F(UrlFilterTest, FilterListKeepsAbsolutePagesOfTheSite) {
  TextArray links{world.Url("/ok.html"),
                  "/ok.html",
                  world.Url("/hotel.html"),  // "tel" inside a URL is no phone link
                  "mailto:" + world.Url("/ok.html"),
                  "http://127.0.0.2:" + std::to_string(world.site.Port()) + "/?" + world.Url("/ok.html"),
                  world.Url("/missing.html"),
                  world.Url("/ok.html")};
  EXPECT_EQ(crawler.FilterList(links), 2);
  EXPECT_EQ(links, (TextArray{world.Url("/ok.html"), world.Url("/hotel.html")}));
  const std::vector<std::string> expected = {"过滤URL【1/6】", "过滤URL【2/6】", "过滤URL【3/6】",
                                             "过滤URL【4/6】", "过滤URL【5/6】", "过滤URL【6/6】"};
  EXPECT_EQ(world.Log(), expected);

  // Without the filter only repeats go.
  TextArray raw{"b", "a", "b"};
  EXPECT_EQ(crawler.FilterList(raw, false), 2);
  EXPECT_EQ(raw, (TextArray{"b", "a"}));
}

TEST_F(UrlFilterTest, FilterListStopsBetweenEntries) {
  TextArray links{world.Url("/ok.html"), world.Url("/hotel.html")};
  world.state.stopRequested = 1;
  EXPECT_EQ(crawler.FilterList(links), 0);
  EXPECT_TRUE(world.Log().empty());
}

TEST_F(UrlFilterTest, IndexedCheckRejectsIndexedUrlsAndSwitchesOffAtTheSecurityCheck) {
  for (const char* path : {"/a.html", "/b.html", "/c.html", "/d.html", "/e.html", "/f.html", "/g.html"}) {
    world.site.Page(path, "<p>page</p>");
  }
  world.search.SetPage(world.Url("/a.html"), test::FakeSearch::ResultsPage());
  world.search.SetPage(world.Url("/c.html"), "<p>很抱歉，没有找到与 的相关网页</p>");
  world.search.SetPage(world.Url("/d.html"), "<p>百度为您找到相关结果约0个</p>");
  world.search.SetPage(world.Url("/e.html"), "<p>busy</p>", 503);
  world.search.SetPage(world.Url("/f.html"),
                       test::FakeSearch::SecurityCheckPage() + test::FakeSearch::NotFoundPage());
  world.window.SetFilterIndexedChecked(true);
  world.state.filterIndexed = true;

  TextArray links;
  for (const char* path : {"/a.html", "/b.html", "/c.html", "/d.html", "/e.html", "/f.html", "/g.html"}) {
    links.Append(world.Url(path));
  }
  crawler.FilterList(links);

  // /a is indexed; /b, /c and /d are not; /e got an error status; /f hit
  // the security check, which switches the check off, so /g is not asked.
  EXPECT_EQ(links, (TextArray{world.Url("/b.html"), world.Url("/c.html"), world.Url("/d.html"),
                              world.Url("/e.html"), world.Url("/f.html"), world.Url("/g.html")}));
  EXPECT_TRUE(world.state.rejectedUrls.Contains(world.Url("/a.html")));
  EXPECT_EQ(world.search.Queries().size(), 6u);
  EXPECT_FALSE(world.state.filterIndexed.load());
  EXPECT_FALSE(world.window.FilterIndexedChecked());
  const auto log = world.Log();
  EXPECT_EQ(test::LinesStartingWith(log, "["),
            (std::vector<std::string>{"[" + world.Url("/a.html") + "]已被收录，自动过滤！",
                                      "[" + world.Url("/e.html") + "]收录查询失败，按未收录处理"}));
}

TEST_F(UrlFilterTest, IndexedQueryEncodesTheGbkUrl) {
  test::FakeSearch search;
  ASSERT_TRUE(search.Start());
  world.state.endpoints.search = search.BaseUrl();
  EXPECT_FALSE(IsIndexed({world.state, world.window, world.clock, std::nullopt}, Utf8ToText("http://h/a b中")));
  ASSERT_EQ(search.RawTargets().size(), 1u);
  EXPECT_EQ(search.RawTargets()[0], "/s?wd=http%3A%2F%2Fh%2Fa+b%D6%D0");

  // No server at all: not indexed, with a log line.
  world.state.endpoints.search = "http://127.0.0.1:1";
  EXPECT_FALSE(IsIndexed({world.state, world.window, world.clock, 2000}, "http://h/x"));
  EXPECT_EQ(world.Log().back(), "[http://h/x]收录查询失败，按未收录处理");
}

}  // namespace
}  // namespace qc
