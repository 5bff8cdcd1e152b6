// Stand-ins for the outside services of the task, on 127.0.0.1: the
// link-submission interface and the search results page.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "support/loopback_server.h"

namespace qc::test {

// POST /urls?site=...&token=... with one URL as the body.
class FakePushApi {
 public:
  struct Push {
    std::string target;       // path and raw query as sent
    std::string site;         // the query's values, decoded
    std::string token;
    std::string body;         // as received (UTF-8)
    std::string contentType;
  };
  // The reply to a push: body and content type.
  struct Reply {
    std::string body;
    std::string contentType = "application/json";
    int status = 200;
  };

  // By default every push succeeds and the quota counts down from 3000.
  FakePushApi();
  ~FakePushApi() { server_.Stop(); }
  FakePushApi(const FakePushApi&) = delete;
  FakePushApi& operator=(const FakePushApi&) = delete;

  void SetReplies(std::function<Reply(const Push&)> reply);
  bool Start() { return server_.Start(); }
  std::string BaseUrl() const { return server_.BaseUrl(); }
  int ConnectionCount() const { return server_.ConnectionCount(); }
  std::vector<Push> Pushes() const;
  // The bodies pushed so far, in order.
  std::vector<std::string> PushedUrls() const;

 private:
  LoopbackServer server_;
  mutable std::mutex mutex_;
  std::vector<Push> pushes_;
  std::function<Reply(const Push&)> reply_;
  int remain_ = 3000;
};

// GET /s?wd=...: a results page chosen by the query's URL.
class FakeSearch {
 public:
  FakeSearch();
  ~FakeSearch() { server_.Stop(); }
  FakeSearch(const FakeSearch&) = delete;
  FakeSearch& operator=(const FakeSearch&) = delete;

  // The page for queries of `url` (UTF-8 body); other URLs get
  // DefaultPage(), which by default is the not-found page.
  void SetPage(const std::string& url, std::string page, int status = 200);
  void SetDefaultPage(std::string page, int status = 200);
  bool Start() { return server_.Start(); }
  std::string BaseUrl() const { return server_.BaseUrl(); }
  // The decoded wd values asked for, and the raw query strings.
  std::vector<std::string> Queries() const;
  std::vector<std::string> RawTargets() const;

  static std::string NotFoundPage();   // "没有找到该URL。您可以直接访问..."
  static std::string ResultsPage();    // a results list, no not-found marker
  static std::string SecurityCheckPage();

 private:
  LoopbackServer server_;
  mutable std::mutex mutex_;
  std::map<std::string, std::pair<std::string, int>> pages_;
  std::pair<std::string, int> default_;
  std::vector<std::string> queries_;
  std::vector<std::string> targets_;
};

}  // namespace qc::test
