// 2,000 sequential GETs to a loopback server, each through a fresh
// HttpClient, as a crawl makes them: once reusing the thread's kept-alive
// connection, once with a new connection per request ("Connection: close").
// Counters: connections the server accepted and requests per second.
#include <benchmark/benchmark.h>

#include "http/http_client.h"
#include "support/loopback_server.h"

namespace {

constexpr int kRequests = 2000;

void RunGets(benchmark::State& state, bool newConnectionEach) {
  qc::test::LoopbackServer server;
  server.Get("/page", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<html><a href=\"/a\">a</a></html>", "text/html");
  });
  if (!server.Start()) {
    state.SkipWithError("the loopback server did not start");
    return;
  }
  const std::string url = server.Url("/page");
  int failures = 0;
  for (auto _ : state) {
    for (int i = 0; i < kRequests; ++i) {
      qc::HttpClient client;
      client.OpenRequest("GET", url);
      client.SetUserAgent("Mozilla/5.0 (bench)");
      if (newConnectionEach) client.SetHeader("Connection", "close");
      client.SendText();
      if (client.StatusCode() != 200) ++failures;
      benchmark::DoNotOptimize(client.ResponseBytes());
    }
  }
  state.counters["connections"] = server.ConnectionCount();
  state.counters["failures"] = failures;
  state.counters["requests_per_s"] =
      benchmark::Counter(static_cast<double>(kRequests) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

void BM_FreshClientsKeptAlive(benchmark::State& state) { RunGets(state, false); }
void BM_FreshClientsNewConnectionEach(benchmark::State& state) { RunGets(state, true); }

BENCHMARK(BM_FreshClientsKeptAlive)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreshClientsNewConnectionEach)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
