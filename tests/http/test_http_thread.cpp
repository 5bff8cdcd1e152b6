// Several threads fetching at once: each through its own connection pool,
// all through the one shared cookie store.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "http/cookie_store.h"
#include "http/http_client.h"
#include "http/http_fetch.h"
#include "support/loopback_server.h"

namespace qc {
namespace {

TEST(HttpThreads, PoolsPerThreadAndASharedCookieStore) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 25;
  CookieStore::Instance().Clear();
  test::LoopbackServer server;
  server.Get(R"(/t(\d+)/set)", [](const httplib::Request& req, httplib::Response& res) {
    res.set_header("Set-Cookie", "t" + std::string(req.matches[1]) + "=" + req.get_param_value("n") + "; path=/");
    res.set_content("set", "text/plain");
  });
  server.Get(R"(/t\d+/get)", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(req.get_header_value("Cookie"), "text/plain");
  });
  // Idle connections stay open long enough to be reused between rounds;
  // each closes when its thread ends.
  server.Raw().set_keep_alive_timeout(30);
  ASSERT_TRUE(server.Start());

  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string base = server.Url("/t" + std::to_string(t));
      for (int n = 0; n < kRounds; ++n) {
        HttpClient setter;
        setter.SetCookieMode(2);
        setter.OpenRequest(base + "/set?n=" + std::to_string(n));
        setter.SendText();
        if (setter.StatusCode() != 200) ++failures;

        HttpClient getter;
        getter.SetCookieMode(2);
        getter.OpenRequest(base + "/get");
        getter.SendText();
        const std::string expected = "t" + std::to_string(t) + "=" + std::to_string(n);
        if (getter.ResponseBytes() != expected) ++failures;

        HttpFetchOptions options;
        options.url = base + "/get";
        options.cookies.emplace("own=1");
        if (HttpFetch(options).body != "own=1") ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(server.RequestCount(), kThreads * kRounds * 3);
  EXPECT_LE(server.ConnectionCount(), kThreads) << "one kept-alive connection per thread";
  CookieStore::Instance().Clear();
}

}  // namespace
}  // namespace qc
