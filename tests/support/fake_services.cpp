#include "support/fake_services.h"

#include <utility>

namespace qc::test {

FakePushApi::FakePushApi() {
  server_.Post("/urls", [this](const httplib::Request& request, httplib::Response& response) {
    Push push;
    push.target = request.target;
    push.site = request.get_param_value("site");
    push.token = request.get_param_value("token");
    push.body = request.body;
    push.contentType = request.get_header_value("Content-Type");
    std::function<Reply(const Push&)> reply;
    {
      std::lock_guard lock(mutex_);
      pushes_.push_back(push);
      reply = reply_;
      if (!reply) {
        --remain_;
        const std::string body = "{\"remain\":" + std::to_string(remain_) + ",\"success\":1}";
        response.set_content(body, "application/json");
        return;
      }
    }
    const Reply answer = reply(push);
    response.status = answer.status;
    response.set_content(answer.body, answer.contentType.c_str());
  });
}

void FakePushApi::SetReplies(std::function<Reply(const Push&)> reply) {
  std::lock_guard lock(mutex_);
  reply_ = std::move(reply);
}

std::vector<FakePushApi::Push> FakePushApi::Pushes() const {
  std::lock_guard lock(mutex_);
  return pushes_;
}

std::vector<std::string> FakePushApi::PushedUrls() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> urls;
  for (const Push& push : pushes_) urls.push_back(push.body);
  return urls;
}

FakeSearch::FakeSearch() : default_(NotFoundPage(), 200) {
  server_.Get("/s", [this](const httplib::Request& request, httplib::Response& response) {
    const std::string wd = request.get_param_value("wd");
    std::pair<std::string, int> page;
    {
      std::lock_guard lock(mutex_);
      queries_.push_back(wd);
      targets_.push_back(request.target);
      const auto it = pages_.find(wd);
      page = it == pages_.end() ? default_ : it->second;
    }
    response.status = page.second;
    response.set_content(page.first, "text/html; charset=utf-8");
  });
}

void FakeSearch::SetPage(const std::string& url, std::string page, int status) {
  std::lock_guard lock(mutex_);
  pages_[url] = {std::move(page), status};
}

void FakeSearch::SetDefaultPage(std::string page, int status) {
  std::lock_guard lock(mutex_);
  default_ = {std::move(page), status};
}

std::vector<std::string> FakeSearch::Queries() const {
  std::lock_guard lock(mutex_);
  return queries_;
}

std::vector<std::string> FakeSearch::RawTargets() const {
  std::lock_guard lock(mutex_);
  return targets_;
}

std::string FakeSearch::NotFoundPage() {
  return "<html><body><div class=\"nors\">没有找到该URL。您可以直接访问 该网址</div></body></html>";
}

std::string FakeSearch::ResultsPage() {
  return "<html><body><div class=\"result\"><h3><a href=\"#\">Page title</a></h3>百度为您找到相关结果约1个"
         "</div></body></html>";
}

std::string FakeSearch::SecurityCheckPage() { return "<html><head><title>百度安全验证</title></head></html>"; }

}  // namespace qc::test
