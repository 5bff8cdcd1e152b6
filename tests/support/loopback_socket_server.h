// A bare TCP server on 127.0.0.1 for tests that need the exact bytes of a
// request or a reply no HTTP server would send: malformed headers, a stall,
// a body cut short, a proxy that records what reaches it.
//
// Each accepted connection runs the handler on a thread of its own; the
// connection is closed when the handler returns. The destructor wakes
// every waiting handler, closes the sockets and joins the threads.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qc::test {

class LoopbackConnection {
 public:
  // Reads one request: the head up to the blank line and as many body
  // bytes as its Content-Length says. Empty when the peer closed first.
  std::string ReadRequest();
  bool Write(std::string_view bytes);
  // Relays bytes both ways between this connection and 127.0.0.1:`port`
  // until either side closes (a proxy's tunnel after a CONNECT).
  bool TunnelTo(int port);
  // Waits until the server stops or `limit` passes; true when stopping.
  bool WaitForStop(std::chrono::milliseconds limit);

 private:
  friend class LoopbackSocketServer;
  struct Shared;
  LoopbackConnection(int fd, std::shared_ptr<Shared> shared) : fd_(fd), shared_(std::move(shared)) {}
  int fd_;
  std::shared_ptr<Shared> shared_;
  std::string pending_;
};

class LoopbackSocketServer {
 public:
  using Handler = std::function<void(LoopbackConnection&)>;

  explicit LoopbackSocketServer(Handler handler);
  ~LoopbackSocketServer();
  LoopbackSocketServer(const LoopbackSocketServer&) = delete;
  LoopbackSocketServer& operator=(const LoopbackSocketServer&) = delete;

  bool Start();
  void Stop();

  int Port() const;
  std::string BaseUrl() const;  // "http://127.0.0.1:PORT"
  std::string Url(std::string_view path) const;
  int ConnectionCount() const;
  // Every request ReadRequest() returned, in order.
  std::vector<std::string> Requests() const;

  // A handler that answers each request on the connection with `reply`
  // (until the peer closes).
  static Handler Reply(std::string reply);
  // Closes the first connection without a word, then behaves as Reply: a
  // site that was unreachable once and is back.
  static Handler DropFirstThenReply(std::string reply);

 private:
  void AcceptLoop();
  Handler handler_;
  std::shared_ptr<LoopbackConnection::Shared> shared_;
  int listenFd_ = -1;
  int port_ = 0;
};

}  // namespace qc::test
