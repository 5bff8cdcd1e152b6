#include "support/loopback_socket_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

namespace qc::test {

struct LoopbackConnection::Shared {
  std::mutex mutex;
  std::condition_variable stopped;
  bool stopping = false;
  std::set<int> openFds;
  std::vector<std::thread> threads;
  std::thread acceptThread;
  std::vector<std::string> requests;
  int connections = 0;
};

namespace {

std::size_t ContentLength(std::string_view head) {
  std::string lower(head);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  auto at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return static_cast<std::size_t>(std::strtoull(lower.c_str() + at + 17, nullptr, 10));
}

}  // namespace

std::string LoopbackConnection::ReadRequest() {
  char buffer[16384];
  for (;;) {
    auto end = pending_.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::size_t total = end + 4 + ContentLength(std::string_view(pending_).substr(0, end + 2));
      if (pending_.size() >= total) {
        std::string request = pending_.substr(0, total);
        pending_.erase(0, total);
        std::lock_guard lock(shared_->mutex);
        shared_->requests.push_back(request);
        return request;
      }
    }
    ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) return {};
    pending_.append(buffer, static_cast<std::size_t>(got));
  }
}

bool LoopbackConnection::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool LoopbackConnection::TunnelTo(int port) {
  int target = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (target < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::connect(target, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(target);
    return false;
  }
  bool ok = pending_.empty() || ::send(target, pending_.data(), pending_.size(), MSG_NOSIGNAL) > 0;
  pending_.clear();
  char buffer[16384];
  while (ok) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {target, POLLIN, 0}};
    if (::poll(fds, 2, 100) < 0) break;
    {
      std::lock_guard lock(shared_->mutex);
      if (shared_->stopping) break;
    }
    for (int i = 0; i < 2 && ok; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t got = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
      const int other = i == 0 ? target : fd_;
      ok = got > 0 && ::send(other, buffer, static_cast<std::size_t>(got), MSG_NOSIGNAL) == got;
    }
  }
  ::close(target);
  return true;
}

bool LoopbackConnection::WaitForStop(std::chrono::milliseconds limit) {
  std::unique_lock lock(shared_->mutex);
  return shared_->stopped.wait_for(lock, limit, [this] { return shared_->stopping; });
}

LoopbackSocketServer::LoopbackSocketServer(Handler handler)
    : handler_(std::move(handler)), shared_(std::make_shared<LoopbackConnection::Shared>()) {}

LoopbackSocketServer::~LoopbackSocketServer() { Stop(); }

bool LoopbackSocketServer::Start() {
  if (listenFd_ >= 0) return true;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return false;
  }
  listenFd_ = fd;
  port_ = ntohs(address.sin_port);
  shared_->acceptThread = std::thread([this] { AcceptLoop(); });
  return true;
}

void LoopbackSocketServer::AcceptLoop() {
  for (;;) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    std::lock_guard lock(shared_->mutex);
    if (shared_->stopping) {
      ::close(fd);
      return;
    }
    ++shared_->connections;
    shared_->openFds.insert(fd);
    shared_->threads.emplace_back([this, fd] {
      LoopbackConnection connection(fd, shared_);
      handler_(connection);
      std::lock_guard inner(shared_->mutex);
      if (shared_->openFds.erase(fd) > 0) {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
      }
    });
  }
}

void LoopbackSocketServer::Stop() {
  if (listenFd_ < 0) return;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    // Wakes blocked reads and writes of the handlers.
    for (int fd : shared_->openFds) ::shutdown(fd, SHUT_RDWR);
  }
  shared_->stopped.notify_all();
  ::shutdown(listenFd_, SHUT_RDWR);
  if (shared_->acceptThread.joinable()) shared_->acceptThread.join();
  ::close(listenFd_);
  listenFd_ = -1;
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(shared_->mutex);
    threads.swap(shared_->threads);
  }
  for (auto& thread : threads) thread.join();
  std::lock_guard lock(shared_->mutex);
  for (int fd : shared_->openFds) ::close(fd);
  shared_->openFds.clear();
}

int LoopbackSocketServer::Port() const { return port_; }

std::string LoopbackSocketServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string LoopbackSocketServer::Url(std::string_view path) const { return BaseUrl() + std::string(path); }

int LoopbackSocketServer::ConnectionCount() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->connections;
}

std::vector<std::string> LoopbackSocketServer::Requests() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->requests;
}

LoopbackSocketServer::Handler LoopbackSocketServer::Reply(std::string reply) {
  return [reply = std::move(reply)](LoopbackConnection& connection) {
    while (!connection.ReadRequest().empty()) {
      if (!connection.Write(reply)) return;
    }
  };
}

LoopbackSocketServer::Handler LoopbackSocketServer::DropFirstThenReply(std::string reply) {
  auto seen = std::make_shared<std::atomic<int>>(0);
  return [seen, answer = Reply(std::move(reply))](LoopbackConnection& connection) {
    if (seen->fetch_add(1) == 0) return;
    answer(connection);
  };
}

}  // namespace qc::test
