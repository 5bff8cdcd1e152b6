#include <gtest/gtest.h>

#include "engine/site_crawler.h"
#include "support/engine_world.h"

namespace qc {
namespace {

TEST(SiteCrawlerSite, SetSiteReadsSchemeHostAndPort) {
  struct Case {
    const char* address;
    const char* siteUrl;
    const char* scheme;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"https://shop.a.example/", "https://shop.a.example/", "https", "shop.a.example", 443},
      {"http://shop.a.example", "http://shop.a.example", "http", "shop.a.example", 80},
      {"shop.a.example", "shop.a.example", "http", "shop.a.example", 80},
      {"http://shop.a.example:8080/x", "http://shop.a.example:8080/x", "http", "shop.a.example", 8080},
      {"https://shop.a.example:8443/", "https://shop.a.example:8443/", "https", "shop.a.example", 8443},
      {"HTTPS://SHOP.A.EXAMPLE/", "HTTPS://SHOP.A.EXAMPLE/", "https", "SHOP.A.EXAMPLE", 443},
      // No readable host: the first domain name in the text.
      {"https://网站 shop.a.example/", "https://网站 shop.a.example/", "https", "shop.a.example", 443},
      {"nothing here", "nothing here", "http", "", 80},
  };
  test::EngineWorld world;
  SiteCrawler crawler(world.state, world.window, world.clock);
  for (const Case& c : cases) {
    crawler.SetSite(Utf8ToText(c.address));
    EXPECT_EQ(crawler.siteUrl(), Utf8ToText(c.siteUrl)) << c.address;
    EXPECT_EQ(crawler.scheme(), c.scheme) << c.address;
    EXPECT_EQ(crawler.host(), c.host) << c.address;
    EXPECT_EQ(crawler.port(), c.port) << c.address;
  }
  crawler.SetSite("https://shop.a.example/");
  EXPECT_EQ(crawler.GetDomainSuffix(), "example");
  crawler.SetSite("localhost");
  EXPECT_EQ(crawler.GetDomainSuffix(), "");
}

class CollectorTest : public ::testing::Test {
 protected:
  void SetUp() override { crawler.SetSite(world.Url("/")); }
  test::EngineWorld world;
  SiteCrawler crawler{world.state, world.window, world.clock};
};

TEST_F(CollectorTest, HomeLinksAreCollectedAbsoluteAndOnce) {
  world.site.Page("/",
                  "<a href=\"/a\">A</a> <a href='./b'>B</a> <a href=x>X</a>\n"
                  "<a href=\"/\">root</a>\n<a href=\"/a\">again</a>\n"
                  "<a href=\"/q?x=1&amp;y=2#frag\">Q</a>\n"
                  "<a href=\"javascript:void(0)\">J</a>\n<a href=\"http://other.example/z\">O</a>\n");
  TextArray links{"earlier"};
  EXPECT_EQ(crawler.CollectHomeLinks(links, true), 6);
  EXPECT_EQ(links, (TextArray{"earlier", world.Url("/a"), world.Url("/b"), world.Url("/q?x=1&y=2"),
                              "javascript:void(0)", "http://other.example/z"}));
  EXPECT_EQ(world.Log(), (std::vector<std::string>{"正在获取首页链接。", "首页链接获取完成。"}));
  EXPECT_NE(world.site.LastUserAgent().find("Edg/96.0.1054.62"), std::string::npos);
}

TEST_F(CollectorTest, PageLinksResolveAgainstThePageAndArePageOnce) {
  world.site.Page("/dir/page.html", "<a href=\"a.html\">1</a>\n<a href=\"../up.html\">2</a>\n"
                                    "<a href=\"?p=2\">3</a>\n<a href=\"./x\">4</a>\n");
  // An error page is read for links too.
  world.site.Page("/gone.html", "<a href=\"/elsewhere.html\">e</a>", "text/html", 404);
  const std::string page = world.Url("/dir/page.html");
  TextArray links;
  EXPECT_EQ(crawler.CollectPageLinks(page, links), 4);
  EXPECT_EQ(links, (TextArray{world.Url("/dir/a.html"), world.Url("/up.html"), world.Url("/dir/page.html?p=2"),
                              world.Url("/dir/x")}));
  EXPECT_TRUE(world.state.visitedPages.Contains(page));

  // Once per program run: the second call empties the list, no request.
  EXPECT_EQ(crawler.CollectPageLinks(page, links), 0);
  EXPECT_TRUE(links.Empty());
  EXPECT_EQ(world.site.Requests("/dir/page.html"), 1);

  EXPECT_EQ(crawler.CollectPageLinks(world.Url("/gone.html"), links), 1);
  EXPECT_EQ(links.At(1), world.Url("/elsewhere.html"));
}

TEST_F(CollectorTest, LinksOfARedirectedPageResolveAgainstWhereItWasServed) {
  world.site.Redirect("/dir", "/dir/");
  world.site.Page("/dir/", "<a href=\"a.html\">a</a>\n");
  world.site.Redirect("/", "/home/");
  world.site.Page("/home/", "<a href=\"b.html\">b</a>\n");
  TextArray links;
  EXPECT_EQ(crawler.CollectPageLinks(world.Url("/dir"), links), 1);
  EXPECT_EQ(links.At(1), world.Url("/dir/a.html"));
  TextArray home;
  EXPECT_EQ(crawler.CollectHomeLinks(home, false), 1);
  EXPECT_EQ(home.At(1), world.Url("/home/b.html"));
}

TEST_F(CollectorTest, PageLinksStopWhenTheCrawlIsToStop) {
  world.site.Page("/p.html", "<a href=\"/1.html\">1</a>\n<a href=\"/2.html\">2</a>\n");
  world.state.stopRequested = 1;
  TextArray links;
  EXPECT_EQ(crawler.CollectPageLinks(world.Url("/p.html"), links), 0);
  // The quota test runs before the flag test: a reached quota stops too.
  world.state.stopRequested = 0;
  world.window.WriteText(Control::QuotaBox, "1");
  world.state.pushList.AppendUnique("http://already/");
  world.site.Page("/q.html", "<a href=\"/1.html\">1</a>\n");
  EXPECT_EQ(crawler.CollectPageLinks(world.Url("/q.html"), links), 0);
  EXPECT_EQ(world.state.stopRequested.load(), 1);
}

TEST_F(CollectorTest, LinkPatternOfTheSettingsIsUsed) {
  world.site.Page("/", "<a data-url=\"/d.html\" href=\"/h.html\">x</a>\n");
  crawler.SetLinkPattern(R"re(data-url="([^"]+)")re");
  TextArray links;
  crawler.CollectHomeLinks(links, false);
  EXPECT_EQ(links, (TextArray{world.Url("/d.html")}));
}

}  // namespace
}  // namespace qc
