// A small web site on 127.0.0.1 for the crawler's tests and benchmarks:
// pages by path, redirects, statuses and content types of the test's
// choosing, and a record of what was asked for.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "support/loopback_server.h"

namespace qc::test {

class SiteServer {
 public:
  SiteServer();
  // Stops the server before the pages and records its threads read go.
  ~SiteServer() { server_.Stop(); }
  SiteServer(const SiteServer&) = delete;
  SiteServer& operator=(const SiteServer&) = delete;

  // Serves `body` at `path` (the query is ignored). Pages may be added and
  // replaced while the server runs. Unknown paths answer 404.
  SiteServer& Page(const std::string& path, std::string body,
                   std::string contentType = "text/html; charset=utf-8", int status = 200);
  SiteServer& Redirect(const std::string& path, const std::string& location, int status = 302);

  bool Start() { return server_.Start(); }
  int Port() const { return server_.Port(); }
  std::string BaseUrl() const { return server_.BaseUrl(); }
  std::string Url(const std::string& path) const { return server_.Url(path); }

  // Runs on the server's thread for every request, before it is answered;
  // a test may block there to hold the crawler at a known point.
  void OnRequest(std::function<void(const std::string& path)> hook);

  // Requests for `path` so far (GET and HEAD).
  int Requests(const std::string& path) const;
  int RequestCount() const { return server_.RequestCount(); }
  int ConnectionCount() const { return server_.ConnectionCount(); }
  std::vector<std::string> RequestedPaths() const;
  // The User-Agent of the last request.
  std::string LastUserAgent() const;

 private:
  struct Resource {
    std::string body;
    std::string contentType;
    int status = 200;
    std::string location;
  };
  void Serve(const httplib::Request& request, httplib::Response& response);

  LoopbackServer server_;
  mutable std::mutex mutex_;
  std::map<std::string, Resource> resources_;
  std::vector<std::string> requested_;
  std::string lastUserAgent_;
  std::function<void(const std::string&)> hook_;
};

// A generated site of `pages` pages in a tree: page 0 is "/", page i > 0
// is "/p<i>.html" and its children are pages i*branching+1 .. i*branching+
// branching. Each page links to its children, its parent and the home
// page, one link per line, with some text between.
void AddTreeSite(SiteServer& site, int pages, int branching);
// The level of page `index` in that tree (home: 0).
int TreeLevel(int index, int branching);

}  // namespace qc::test
