// The whole task against loopback servers, read through its log lines.
#include <gtest/gtest.h>

#include "app/profile_file.h"
#include "engine/crawl_task.h"
#include "support/engine_world.h"
#include "support/loopback_socket_server.h"

namespace qc {
namespace {

using Lines = std::vector<std::string>;

class CrawlTaskTest : public ::testing::Test {
 protected:
  // Home links to /a.html and /b.html; /a.html to /a1.html and /a2.html
  // (relative links); /b.html to /b1.html; /a1.html to /a1x.html.
  void AddSmallSite() {
    world.site.Page("/", "<a href=\"/a.html\">a</a>\n<a href=\"b.html\">b</a>\n");
    world.site.Page("/a.html", "<a href=\"a1.html\">1</a>\n<a href=\"./a2.html\">2</a>\n<a href=\"/\">home</a>\n");
    world.site.Page("/b.html", "<a href=\"/b1.html\">1</a>\n<a href=\"/a.html\">a</a>\n");
    world.site.Page("/a1.html", "<a href=\"a1x.html\">x</a>\n");
    world.site.Page("/a2.html", "<a href=\"/a.html\">a</a>\n");
    world.site.Page("/b1.html", "<p>leaf</p>\n");
    world.site.Page("/a1x.html", "<p>leaf</p>\n");
  }

  void RunTask(const char* depth) {
    world.window.WriteText(Control::DepthBox, depth);
    task.OnStartClicked();
    task.Wait();
  }

  // The lines of the task itself, without the per-entry filter lines.
  Lines TaskLines() {
    Lines lines;
    for (const std::string& line : world.Log()) {
      if (line.rfind("过滤URL【", 0) != 0) lines.push_back(line);
    }
    return lines;
  }

  std::vector<std::string> Urls(std::initializer_list<const char*> paths) {
    std::vector<std::string> urls;
    for (const char* path : paths) urls.push_back(world.Url(path));
    return urls;
  }

  test::EngineWorld world;
  CrawlTask task{world.state, world.ports, TaskOptions{5000, 5}};
};

TEST_F(CrawlTaskTest, DepthZeroPushesTheHomeLinks) {
  AddSmallSite();
  RunTask("0");
  const std::string a = world.Url("/a.html");
  const std::string b = world.Url("/b.html");
  EXPECT_EQ(world.Log(), (Lines{"任务已开始！", "正在获取首页链接。", "首页链接获取完成。", "开始过滤URL！",
                                "过滤URL【1/2】", "过滤URL【2/2】", "URL过滤完成", "开始推送【" + a + "】",
                                "推送【" + a + "】成功", "开始推送【" + b + "】", "推送【" + b + "】成功"}));
  EXPECT_EQ(world.push.PushedUrls(), (std::vector<std::string>{a, b}));
  EXPECT_EQ(world.push.Pushes()[0].token, "secret-token-123");
  EXPECT_EQ(world.push.Pushes()[0].site, world.Url("/"));

  EXPECT_EQ(world.window.WritesOf(Control::StartButton),
            (std::vector<Text>{CaptionCrawling(), CaptionPushing(), CaptionIdle()}));
  EXPECT_EQ(world.Label(Control::ProgressLabel), "提交URL进度：2/2");
  EXPECT_EQ(world.Label(Control::SuccessLabel), "推送成功条数：2");
  EXPECT_EQ(world.Label(Control::SubmittedLabel), "推送条数：2");
  EXPECT_EQ(world.Label(Control::RemainLabel), "所剩配额数量：2998");
  EXPECT_EQ(world.state.pushList.Count(), 0u);
  EXPECT_EQ(world.state.crawledUrls, (TextArray{a, b}));

  // The daily log and the settings the start saved.
  EXPECT_EQ(test::ReadFileBytes(world.dir.File("2026-03-07推送成功日志.txt")), "\r\n>" + a + "<\r\n>" + b + "<");
  const std::string config = ConfigFilePath(world.dir.path());
  EXPECT_EQ(ReadProfileString(config, "Api", "Site"), world.Url("/"));
  EXPECT_EQ(ReadProfileString(config, "Api", "Token"), "secret-token-123");
  for (const std::string& line : world.Log()) EXPECT_EQ(line.find("secret-token"), std::string::npos) << line;
}

TEST_F(CrawlTaskTest, DepthTwoCrawlsDepthFirst) {
  AddSmallSite();
  RunTask("2");
  EXPECT_EQ(TaskLines(), (Lines{"任务已开始！", "正在获取首页链接。", "首页链接获取完成。", "开始过滤URL！",
                                "URL过滤完成", "开始深度抓取URL", "正在深度抓取URL", "开始深度抓取URL",
                                "正在深度抓取URL", "开始推送【" + world.Url("/a.html") + "】",
                                "推送【" + world.Url("/a.html") + "】成功", "开始推送【" + world.Url("/b.html") + "】",
                                "推送【" + world.Url("/b.html") + "】成功", "开始推送【" + world.Url("/a1.html") + "】",
                                "推送【" + world.Url("/a1.html") + "】成功", "开始推送【" + world.Url("/a2.html") + "】",
                                "推送【" + world.Url("/a2.html") + "】成功", "开始推送【" + world.Url("/a1x.html") + "】",
                                "推送【" + world.Url("/a1x.html") + "】成功", "开始推送【" + world.Url("/b1.html") + "】",
                                "推送【" + world.Url("/b1.html") + "】成功"}));
  // a1x was found under a1 before b was visited.
  EXPECT_EQ(world.push.PushedUrls(), Urls({"/a.html", "/b.html", "/a1.html", "/a2.html", "/a1x.html", "/b1.html"}));
  EXPECT_EQ(world.Label(Control::ProgressLabel), "提交URL进度：6/6");
}

TEST(CrawlTaskDepth, DepthBoxIsReadAsANumberUpToFive) {
  // A chain of pages: / -> /1.html -> /2.html -> ... -> /7.html.
  const std::pair<const char*, std::size_t> cases[] = {
      {"0", 1}, {"1", 2}, {"2.5", 3}, {"5", 6}, {"9", 6}, {"abc", 1}, {"", 1},
  };
  for (const auto& [depth, pushed] : cases) {
    test::EngineWorld world;
    world.site.Page("/", "<a href=\"/1.html\">next</a>\n");
    for (int i = 1; i <= 7; ++i) {
      world.site.Page("/" + std::to_string(i) + ".html", "<a href=\"/" + std::to_string(i + 1) + ".html\">n</a>\n");
    }
    CrawlTask task(world.state, world.ports, TaskOptions{5000, 5});
    world.window.WriteText(Control::DepthBox, depth);
    task.OnStartClicked();
    task.Wait();
    EXPECT_EQ(world.push.PushedUrls().size(), pushed) << "depth " << depth;
  }
}

TEST_F(CrawlTaskTest, QuotaStopsTheCrawlAndEverythingGatheredIsPushed) {
  AddSmallSite();
  world.window.WriteText(Control::QuotaBox, "1");
  RunTask("5");
  // Both home links were gathered at once; the crawl stopped at its first
  // test, without a timer.
  EXPECT_EQ(TaskLines()[5], "开始推送【" + world.Url("/a.html") + "】");
  EXPECT_EQ(world.push.PushedUrls(), Urls({"/a.html", "/b.html"}));
  EXPECT_EQ(world.state.stopRequested.load(), 1);  // until the next start
}

TEST_F(CrawlTaskTest, SecondTaskSkipsTodaysPushesAndCountersGoOn) {
  AddSmallSite();
  RunTask("0");
  RunTask("0");
  const std::string a = world.Url("/a.html");
  const std::string b = world.Url("/b.html");
  const Lines lines = TaskLines();
  const Lines tail(lines.end() - 6, lines.end());
  EXPECT_EQ(tail, (Lines{"开始推送【" + a + "】", "【" + a + "】今日已推送成功,无需重复提交", "推送【" + a + "】失败",
                         "开始推送【" + b + "】", "【" + b + "】今日已推送成功,无需重复提交", "推送【" + b + "】失败"}));
  EXPECT_EQ(world.push.PushedUrls().size(), 2u);  // nothing pushed twice
  EXPECT_EQ(world.Label(Control::ProgressLabel), "提交URL进度：4/2");
  EXPECT_EQ(world.Label(Control::SuccessLabel), "推送成功条数：2");
  EXPECT_EQ(world.Label(Control::SubmittedLabel), "推送条数：4");
  EXPECT_EQ(world.Label(Control::RemainLabel), "所剩配额数量：");  // no push in this task
}

TEST_F(CrawlTaskTest, IndexedCheckFiltersThenSwitchesItselfOff) {
  world.site.Page("/", "<a href=\"/a.html\">a</a>\n<a href=\"/b.html\">b</a>\n<a href=\"/c.html\">c</a>\n"
                       "<a href=\"/d.html\">d</a>\n");
  for (const char* path : {"/a.html", "/b.html", "/c.html", "/d.html"}) world.site.Page(path, "<p>x</p>");
  world.search.SetPage(world.Url("/a.html"), test::FakeSearch::ResultsPage());
  world.search.SetPage(world.Url("/c.html"), test::FakeSearch::SecurityCheckPage());
  world.window.SetFilterIndexedChecked(true);
  world.state.filterIndexed = true;
  RunTask("0");
  EXPECT_EQ(world.push.PushedUrls(), Urls({"/b.html", "/c.html", "/d.html"}));
  EXPECT_EQ(test::LinesStartingWith(world.Log(), "["), (Lines{"[" + world.Url("/a.html") + "]已被收录，自动过滤！"}));
  EXPECT_EQ(world.search.Queries().size(), 3u);  // /d.html was not asked
  EXPECT_FALSE(world.window.FilterIndexedChecked());
  // The file keeps the option on: only a click on the box changes it.
  EXPECT_EQ(ReadProfileString(ConfigFilePath(world.dir.path()), "filter", "Included"), "True");
}

TEST_F(CrawlTaskTest, LinksAreJudgedBySchemeHostAndPort) {
  const std::string port = std::to_string(world.site.Port());
  world.site.Page("/", "<a href=\"/hotel.html\">h</a>\n<a href=\"mailto:me@127.0.0.1\">m</a>\n"
                       "<a href=\"http://127.0.0.2:" + port + "/?127.0.0.1:" + port + "\">f</a>\n"
                       "<a href=\"tel:123\">t</a>\n<a href=\"sub/page.html?x=1&amp;y=2#top\">s</a>\n");
  world.site.Page("/hotel.html", "<p>hotel</p>");
  world.site.Page("/sub/page.html", "<p>sub</p>");
  // The address without a scheme is taken as http, with its port.
  world.window.WriteText(Control::SiteBox, "127.0.0.1:" + port);
  RunTask("0");
  EXPECT_EQ(world.push.PushedUrls(), Urls({"/hotel.html", "/sub/page.html?x=1&y=2"}));
}

TEST_F(CrawlTaskTest, NonAsciiLinksReachTheirPagesRelativeOrAbsolute) {
  world.site.Page("/", "<a href=\"/中文.html\">r</a>\n<a href=\"" + world.Url("/标签/") + "\">a</a>\n");
  world.site.Page("/中文.html", "<p>x</p>");
  world.site.Page("/标签/", "<p>y</p>");
  RunTask("0");
  EXPECT_EQ(world.push.PushedUrls(), Urls({"/中文.html", "/标签/"}));
  EXPECT_EQ(world.state.rejectedUrls.Count(), 0u);
}

TEST_F(CrawlTaskTest, InvalidLinkPatternFallsBackToTheDefaultWithOneLine) {
  AddSmallSite();
  world.window.WriteText(Control::UrlPatternBox, "(unclosed");
  RunTask("1");
  const Lines lines = TaskLines();
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3),
            (Lines{"任务已开始！", "URL匹配正则为空或无效，已使用默认规则", "正在获取首页链接。"}));
  EXPECT_EQ(test::LinesStartingWith(lines, "URL匹配正则").size(), 1u);
  EXPECT_EQ(world.push.PushedUrls().size(), 5u);
}

TEST_F(CrawlTaskTest, StartChecksStopWithTheirMessages) {
  AddSmallSite();
  struct Case {
    std::string site, token, quota;
    const char* message;
    MessageIcon icon;
  };
  const Case cases[] = {
      {world.Url("/missing/"), "t", "9", "URL链接错误,请检查！", MessageIcon::Error},
      {"http://other.example:1/", "t", "9", "URL链接错误,请检查！", MessageIcon::Error},
      {world.Url("/"), "", "9", "Token未填写！", MessageIcon::Warning},
      {world.Url("/"), "t", "", "推送配额未填写！", MessageIcon::Error},
  };
  for (const Case& c : cases) {
    world.window.WriteText(Control::SiteBox, c.site);
    world.window.WriteText(Control::TokenBox, c.token);
    world.window.WriteText(Control::QuotaBox, c.quota);
    world.state.stopRequested = 1;
    task.OnStartClicked();
    task.Wait();
    const auto shown = world.prompter.ShownBoxes();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(TextToUtf8(shown.back().text), c.message);
    EXPECT_EQ(shown.back().icon, c.icon);
    EXPECT_EQ(shown.back().title, "");
    EXPECT_EQ(world.state.stopRequested.load(), 0);  // cleared even when a check fails
  }
  EXPECT_TRUE(world.Log().empty());
  EXPECT_TRUE(world.window.WritesOf(Control::StartButton).empty());
  EXPECT_EQ(ReadProfileString(ConfigFilePath(world.dir.path()), "Api", "Token"), "");

  // While pushing, a click does nothing.
  world.window.WriteText(Control::StartButton, CaptionPushing());
  task.OnStartClicked();
  EXPECT_EQ(world.prompter.ShownBoxes().size(), 4u);
}

TEST_F(CrawlTaskTest, SiteWithoutReplyIsNotRejectedForTheRun) {
  test::LoopbackSocketServer flaky(test::LoopbackSocketServer::DropFirstThenReply(
      "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 2\r\n\r\nok"));
  ASSERT_TRUE(flaky.Start());
  world.window.WriteText(Control::SiteBox, flaky.Url("/"));
  task.OnStartClicked();
  EXPECT_EQ(TextToUtf8(world.prompter.ShownBoxes().back().text), "URL链接错误,请检查！");
  // The network is back: the same check passes and the task runs.
  task.OnStartClicked();
  task.Wait();
  EXPECT_EQ(world.prompter.ShownBoxes().size(), 1u);
  EXPECT_EQ(world.Log().front(), "任务已开始！");
}

}  // namespace
}  // namespace qc
