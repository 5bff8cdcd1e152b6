#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "app/profile_file.h"
#include "engine/crawl_task.h"
#include "engine/push_client.h"
#include "support/engine_world.h"
#include "support/loopback_server.h"

namespace qc {
namespace {

using Reply = test::FakePushApi::Reply;

TEST(PushClient, PostsOneUrlAndReadsTheReply) {
  test::FakePushApi api;
  api.SetReplies([](const test::FakePushApi::Push&) {
    return Reply{R"({"remain":2999,"success":1,"not_same_site":[],"not_valid":["http://x/1","http://x/2"]})"};
  });
  ASSERT_TRUE(api.Start());
  const PushResult result =
      PushUrls(api.BaseUrl(), "http://www.a.example", "tok&extra=1", Utf8ToText("http://www.a.example/中文.html"));
  EXPECT_EQ(result.success, "1");
  EXPECT_EQ(result.remain, "2999");
  EXPECT_EQ(result.not_same_site, "");
  EXPECT_EQ(result.not_valid, "http://x/1,http://x/2");

  const auto pushes = api.Pushes();
  ASSERT_EQ(pushes.size(), 1u);
  const auto& push = pushes[0];
  // Site and token go in unchanged: an ampersand in the token adds a parameter.
  EXPECT_EQ(push.target, "/urls?site=http://www.a.example&token=tok&extra=1");
  EXPECT_EQ(push.body, "http://www.a.example/中文.html");  // UTF-8 on the wire
  EXPECT_EQ(push.contentType, "application/x-www-form-urlencoded");
}

TEST(PushClient, TheTokenTravelsInTheRequestLineOnly) {
  std::mutex mutex;
  std::string referer;
  std::string seenElsewhere;
  test::LoopbackServer elsewhere;
  elsewhere.Post("/landing", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    for (const auto& [name, value] : req.headers) seenElsewhere += name + ": " + value + "\n";
    res.set_content(R"({"success":1})", "application/json");
  });
  ASSERT_TRUE(elsewhere.Start());
  test::LoopbackServer api;
  api.Post("/urls", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    referer = req.get_header_value("Referer");
    res.status = 307;
    res.set_header("Location", elsewhere.Url("/landing"));
  });
  ASSERT_TRUE(api.Start());

  PushUrls(api.BaseUrl(), "http://www.a.example", "tok-secret-42", "http://www.a.example/a.html");
  std::lock_guard lock(mutex);
  EXPECT_EQ(referer, api.BaseUrl() + "/urls");
  ASSERT_EQ(elsewhere.RequestCount(), 1);
  EXPECT_EQ(seenElsewhere.find("tok-secret-42"), std::string::npos) << seenElsewhere;
}

TEST(PushClient, RepliesThatAreNotTheExpectedJsonGiveEmptyFields) {
  const Reply replies[] = {
      {"<html><body>502 Bad Gateway</body></html>", "text/html", 502},
      {R"({"error":401,"message":"token is not valid"})", "application/json", 401},
      {"", "text/plain", 200},
      {"\x01\x02\xff\xfe junk", "application/octet-stream", 200},
  };
  for (const Reply& reply : replies) {
    test::FakePushApi api;
    api.SetReplies([&](const test::FakePushApi::Push&) { return reply; });
    ASSERT_TRUE(api.Start());
    const PushResult result = PushUrls(api.BaseUrl(), "s", "t", "http://s/");
    EXPECT_EQ(result.success, "") << reply.body;
    EXPECT_EQ(result.remain, "") << reply.body;
  }
  // No server at all.
  const PushResult none = PushUrls("http://127.0.0.1:1", "s", "t", "http://s/", 2);
  EXPECT_EQ(none.success, "");
}

TEST(PushClient, QuotaButtonPushesTheSiteAndStoresTheRemainingQuota) {
  test::EngineWorld world;
  world.push.SetReplies([](const test::FakePushApi::Push&) { return Reply{R"({"remain":2999,"success":1})"}; });
  CrawlTask task(world.state, world.ports);
  world.window.WriteText(Control::SiteBox, "http://www.a.example");
  task.OnFetchQuotaClicked();
  EXPECT_EQ(world.window.ReadText(Control::QuotaBox), "2999");
  EXPECT_EQ(ReadProfileString(ConfigFilePath(world.dir.path()), "Api", "remain"), "2999");
  EXPECT_EQ(world.push.Pushes().back().body, "http://www.a.example");
  EXPECT_EQ(task.crawler().host(), "www.a.example");
  EXPECT_TRUE(world.Log().empty());

  // An error reply empties the box, and the stored quota with it.
  world.push.SetReplies([](const test::FakePushApi::Push&) { return Reply{R"({"error":401})", "application/json", 401}; });
  world.window.WriteText(Control::SiteBox, "");
  task.OnFetchQuotaClicked();
  EXPECT_EQ(world.push.Pushes().back().target, "/urls?site=&token=secret-token-123");
  EXPECT_EQ(world.window.ReadText(Control::QuotaBox), "");
  EXPECT_EQ(ReadProfileString(ConfigFilePath(world.dir.path()), "Api", "remain"), "");
}

}  // namespace
}  // namespace qc
