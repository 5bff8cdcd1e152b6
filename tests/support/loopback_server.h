// An HTTP (or HTTPS) server on 127.0.0.1 for tests and benchmarks.
//
// Register handlers first, then Start(): the server binds port 0, runs on
// its own thread and Start() returns once it accepts connections. The
// destructor stops it and joins the thread. It counts the requests it saw
// and the connections they came over (distinct client address and port).
//
//   qc::test::LoopbackServer server;
//   server.Get("/page", [](const httplib::Request&, httplib::Response& res) {
//     res.set_content("<a href=\"/x\">x</a>", "text/html");
//   });
//   ASSERT_TRUE(server.Start());
//   auto url = server.Url("/page");  // "http://127.0.0.1:PORT/page"
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <httplib.h>

namespace qc::test {

class LoopbackServer {
 public:
  enum class Scheme { kHttp, kHttps };
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  // kHttps serves with a self-signed certificate for 127.0.0.1.
  explicit LoopbackServer(Scheme scheme = Scheme::kHttp);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Patterns are httplib's (regular expressions over the path).
  LoopbackServer& Get(const std::string& pattern, Handler handler);
  LoopbackServer& Post(const std::string& pattern, Handler handler);
  LoopbackServer& Put(const std::string& pattern, Handler handler);
  LoopbackServer& Delete(const std::string& pattern, Handler handler);
  LoopbackServer& Options(const std::string& pattern, Handler handler);

  // Full access for anything else (time-outs, error handler...); use it
  // before Start().
  httplib::Server& Raw();

  bool Start();
  void Stop();

  int Port() const;
  std::string BaseUrl() const;                   // "http://127.0.0.1:PORT"
  std::string Url(std::string_view path) const;  // BaseUrl() + path
  int RequestCount() const;
  int ConnectionCount() const;
  void ResetCounts();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The self-signed certificate and key the HTTPS server uses (PEM).
std::string_view LoopbackCertificatePem();
std::string_view LoopbackKeyPem();

}  // namespace qc::test
