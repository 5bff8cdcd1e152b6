#include "support/site_server.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace qc::test {

SiteServer::SiteServer() {
  auto handler = [this](const httplib::Request& request, httplib::Response& response) { Serve(request, response); };
  server_.Get(".*", handler);
  // Headers and body leave in two writes; without this the body waits for
  // the client's delayed acknowledgement of the headers.
  server_.Raw().set_tcp_nodelay(true);
}

SiteServer& SiteServer::Page(const std::string& path, std::string body, std::string contentType, int status) {
  std::lock_guard lock(mutex_);
  resources_[path] = Resource{std::move(body), std::move(contentType), status, {}};
  return *this;
}

SiteServer& SiteServer::Redirect(const std::string& path, const std::string& location, int status) {
  std::lock_guard lock(mutex_);
  resources_[path] = Resource{{}, "text/html", status, location};
  return *this;
}

void SiteServer::OnRequest(std::function<void(const std::string&)> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

void SiteServer::Serve(const httplib::Request& request, httplib::Response& response) {
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard lock(mutex_);
    hook = hook_;
  }
  if (hook) hook(request.path);
  Resource resource;
  {
    std::lock_guard lock(mutex_);
    requested_.push_back(request.path);
    lastUserAgent_ = request.get_header_value("User-Agent");
    const auto it = resources_.find(request.path);
    if (it == resources_.end()) {
      response.status = 404;
      response.set_content("<html>not found</html>", "text/html");
      return;
    }
    resource = it->second;
  }
  response.status = resource.status;
  if (!resource.location.empty()) response.set_header("Location", resource.location);
  // Served through a provider of known length: the server then sends the
  // bytes as they are, instead of compressing large pages first (which
  // would take seconds and look like a stalled server).
  if (resource.body.empty()) {
    response.set_content("", resource.contentType.c_str());
    return;
  }
  auto body = std::make_shared<std::string>(std::move(resource.body));
  response.set_content_provider(
      body->size(), resource.contentType,
      [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        return sink.write(body->data() + offset, std::min(length, body->size() - offset));
      });
}

int SiteServer::Requests(const std::string& path) const {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (const std::string& requested : requested_) count += requested == path;
  return count;
}

std::vector<std::string> SiteServer::RequestedPaths() const {
  std::lock_guard lock(mutex_);
  return requested_;
}

std::string SiteServer::LastUserAgent() const {
  std::lock_guard lock(mutex_);
  return lastUserAgent_;
}

namespace {

std::string PagePath(int index) { return index == 0 ? "/" : "/p" + std::to_string(index) + ".html"; }

}  // namespace

void AddTreeSite(SiteServer& site, int pages, int branching) {
  for (int i = 0; i < pages; ++i) {
    std::string body = "<html><head><title>Page " + std::to_string(i) + "</title></head><body>\n";
    body += "<a href=\"/\">首页</a>\n";
    if (i > 0) body += "<a href=\"" + PagePath((i - 1) / branching) + "\">上一级</a>\n";
    for (int c = i * branching + 1; c <= i * branching + branching && c < pages; ++c) {
      body += "<p>第" + std::to_string(c) + "篇 some text about the article</p>\n";
      body += "<a href=\"" + PagePath(c) + "\">article " + std::to_string(c) + "</a>\n";
    }
    body += "</body></html>\n";
    site.Page(PagePath(i), std::move(body));
  }
}

int TreeLevel(int index, int branching) {
  int level = 0;
  while (index > 0) {
    index = (index - 1) / branching;
    ++level;
  }
  return level;
}

}  // namespace qc::test
