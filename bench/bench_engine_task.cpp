// The whole crawl-and-push task over a generated loopback site: 2,000
// pages in a tree five levels deep, crawled to depth 5 with a quota of
// 5,000 (so the whole site is gathered), every URL pushed to a loopback
// push interface.
//
// Reported beside the wall time: the URLs accepted, the site's requests
// per accepted URL, the connections the site server accepted, and the
// process's peak resident memory (servers included, they run in-process).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "app/app_state.h"
#include "app/memory_window.h"
#include "engine/crawl_task.h"
#include "support/engine_temp_dir.h"
#include "support/fake_services.h"
#include "support/site_server.h"

namespace {

constexpr int kPages = 2000;
constexpr int kBranching = 5;

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
}

void BM_WholeTask(benchmark::State& state) {
  std::size_t accepted = 0;
  int requests = 0;
  int connections = 0;
  int pushConnections = 0;
  for (auto _ : state) {
    state.PauseTiming();
    qc::test::SiteServer site;
    qc::test::AddTreeSite(site, kPages, kBranching);
    qc::test::FakePushApi push;
    qc::test::TempDir dir;
    if (!site.Start() || !push.Start()) {
      state.SkipWithError("loopback servers did not start");
      break;
    }
    qc::AppState app;
    app.runDirectory = dir.path();
    app.endpoints.pushApi = push.BaseUrl();
    app.SetContentTypeKeywords({"javascript", "image", "css", "font", "woff", "xml", "json"});
    qc::MemoryWindow window;
    qc::MemoryPrompter prompter;
    qc::SystemClock clock;
    window.WriteText(qc::Control::SiteBox, site.Url("/"));
    window.WriteText(qc::Control::TokenBox, "token");
    window.WriteText(qc::Control::QuotaBox, "5000");
    window.WriteText(qc::Control::DepthBox, "5");
    window.WriteText(qc::Control::UrlPatternBox, std::string(qc::kDefaultLinkPattern));
    qc::CrawlTask task(app, {window, prompter, clock});
    state.ResumeTiming();

    task.OnStartClicked();
    task.Wait();

    state.PauseTiming();
    accepted = push.Pushes().size();
    requests = site.RequestCount();
    connections = site.ConnectionCount();
    pushConnections = push.ConnectionCount();
    state.ResumeTiming();
  }
  state.counters["accepted_urls"] = static_cast<double>(accepted);
  state.counters["site_requests"] = requests;
  state.counters["requests_per_url"] = accepted ? static_cast<double>(requests) / static_cast<double>(accepted) : 0;
  state.counters["site_connections"] = connections;
  state.counters["push_connections"] = pushConnections;
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}
BENCHMARK(BM_WholeTask)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
