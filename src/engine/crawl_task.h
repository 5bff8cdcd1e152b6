// The crawl-and-push task and the window handlers around it: the start
// button (start, or the stop question while crawling), the quota timer and
// the quota button. The window only wires its events to these.
//
// The task runs on one worker thread of its own; the handlers run on the
// window thread. The crawler lives here, beside the state it works on.
#pragma once

#include <atomic>
#include <optional>
#include <thread>

#include "app/ports.h"
#include "engine/site_crawler.h"

namespace qc {

struct AppState;

struct TaskOptions {
  // Time-out of every crawl request, all four phases (empty: the request's
  // defaults), and of every push in seconds (0: 15 s).
  std::optional<int> requestTimeoutMs;
  int pushTimeoutSeconds = 0;
};

class CrawlTask {
 public:
  CrawlTask(AppState& state, const Ports& ports, TaskOptions options = {});
  // Abandons a running task and waits for its thread.
  ~CrawlTask();
  CrawlTask(const CrawlTask&) = delete;
  CrawlTask& operator=(const CrawlTask&) = delete;

  SiteCrawler& crawler() { return crawler_; }

  // 按钮_开始推送. Idle: checks the site, token and quota, saves the site and
  // token, starts the worker. Crawling: asks whether to stop and push.
  // Pushing: nothing.
  void OnStartClicked();
  // 时钟2: the quota test.
  void OnQuotaTick();
  // 按钮2: pushes the site's own address and shows the remaining quota in
  // the quota box (which saves it).
  void OnFetchQuotaClicked();

  // The worker's body; tests may also call it on their own thread.
  void RunCrawlTask();

  // Waits until the worker started by OnStartClicked has ended.
  void Wait();
  // For closing the program: the crawl stops at its next test and the push
  // phase after the URL in hand.
  void Abandon();

 private:
  void Log(std::string_view message);
  double Depth();
  void CrawlLevel(int level, TextArray* lists);
  void PushPhase();
  void ShowCounters(const Text& remain);

  AppState& state_;
  Ports ports_;
  TaskOptions options_;
  SiteCrawler crawler_;
  std::atomic<bool> abandoned_{false};
  std::thread worker_;
};

}  // namespace qc
