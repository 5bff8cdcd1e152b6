// The task on its worker while the window thread asks to stop, ticks the
// timers and changes the site: the cross-thread paths, also under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/activity_log.h"
#include "engine/crawl_task.h"
#include "support/engine_world.h"

namespace qc {
namespace {

using Lines = std::vector<std::string>;

class CrawlTaskThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world.site.Page("/", "<a href=\"/a.html\">a</a>\n<a href=\"/b.html\">b</a>\n");
    world.site.Page("/a.html", "<a href=\"/a1.html\">1</a>\n<a href=\"/a2.html\">2</a>\n");
    world.site.Page("/b.html", "<a href=\"/b1.html\">1</a>\n");
    for (const char* leaf : {"/a1.html", "/a2.html", "/b1.html"}) world.site.Page(leaf, "<p>leaf</p>\n");
    world.window.WriteText(Control::DepthBox, "2");
  }

  // Clicks the start button from the server's thread, standing in for the
  // window thread, the first time the crawler asks for /a1.html.
  void ClickWhileCheckingA1(bool answer) {
    world.site.OnRequest([this, answer](const std::string& path) {
      if (path != "/a1.html" || clicked_.exchange(true)) return;
      world.prompter.QueueAnswer(answer);
      task.OnStartClicked();
    });
  }

  std::atomic<bool> clicked_{false};
  test::EngineWorld world;
  CrawlTask task{world.state, world.ports, TaskOptions{5000, 5}};
};

TEST_F(CrawlTaskThreadTest, ConfirmedStopEndsTheCrawlAndPushesWhatWasGathered) {
  ClickWhileCheckingA1(true);
  task.OnStartClicked();
  task.Wait();

  const auto shown = world.prompter.ShownBoxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].question);
  EXPECT_EQ(TextToUtf8(shown[0].text), "是否停止采集开始推送URL？\r\n当前采集数量【2】");
  // /a1.html was being checked when the stop came: it is kept, /a2.html and
  // everything deeper is not reached.
  EXPECT_EQ(world.push.PushedUrls(),
            (std::vector<std::string>{world.Url("/a.html"), world.Url("/b.html"), world.Url("/a1.html")}));
  EXPECT_EQ(test::LinesStartingWith(world.Log(), "开始深度抓取URL").size(), 1u);
  EXPECT_EQ(world.site.Requests("/b1.html"), 0);
}

TEST_F(CrawlTaskThreadTest, AnsweringNoLeavesTheCrawlRunning) {
  ClickWhileCheckingA1(false);
  task.OnStartClicked();
  task.Wait();
  EXPECT_EQ(world.prompter.ShownBoxes().size(), 1u);
  EXPECT_EQ(world.push.PushedUrls().size(), 5u);
}

TEST_F(CrawlTaskThreadTest, TimersAndTheSiteButtonRunBesideTheTask) {
  test::AddTreeSite(world.site, 200, 4);
  world.window.WriteText(Control::DepthBox, "5");
  world.window.WriteText(Control::QuotaBox, "30");

  std::atomic<bool> done{false};
  std::thread windowThread([&] {
    while (!done.load()) {
      task.OnQuotaTick();
      OnCrawlCountTick(world.state, world.window, world.clock);
      task.crawler().SetSite(world.Url("/"));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  task.OnStartClicked();
  task.Wait();
  done = true;
  windowThread.join();

  const std::size_t pushed = world.push.PushedUrls().size();
  EXPECT_GE(pushed, 30u);
  EXPECT_LT(pushed, 199u);  // the quota ended the crawl early
  EXPECT_EQ(world.state.stopRequested.load(), 1);
  // The crawl-count label keeps the last count it saw.
  OnCrawlCountTick(world.state, world.window, world.clock);
  EXPECT_NE(world.Label(Control::CrawlCountLabel), "爬虫获取URL数：0");
}

TEST_F(CrawlTaskThreadTest, ClosingDuringATaskEndsPromptly) {
  test::AddTreeSite(world.site, 400, 4);
  world.window.WriteText(Control::DepthBox, "5");
  auto closing = std::make_unique<CrawlTask>(world.state, world.ports, TaskOptions{5000, 5});
  closing->OnStartClicked();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto start = std::chrono::steady_clock::now();
  closing.reset();  // abandons the task and joins its thread
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_LT(world.push.PushedUrls().size(), 3u);
}

}  // namespace
}  // namespace qc
