// HttpFetch against the recording request object: the calls it makes, in
// order, and what it hands back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/http_fetch.h"
#include "support/http_recording_request.h"

namespace qc {
namespace {

using test::RecordingRequest;
using Lines = std::vector<std::string>;

constexpr const char* kUrl = "http://push.example/urls?site=a&token=t";
constexpr const char* kUserAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

struct Fetched {
  std::shared_ptr<RecordingRequest> request = std::make_shared<RecordingRequest>();
  HttpFetchResult result;
};

// Runs HttpFetch with `options` (its url defaults to kUrl) over a fresh
// recording request that answers with `replies`.
Fetched Fetch(HttpFetchOptions& options, std::vector<RecordingRequest::Reply> replies = {{}}) {
  Fetched fetched;
  for (auto& reply : replies) fetched.request->replies.push_back(reply);
  options.requestObject = fetched.request;
  if (options.url.empty()) options.url = kUrl;
  fetched.result = HttpFetch(options);
  return fetched;
}

TEST(HttpFetch, PushRequestCallsInOrder) {
  HttpFetchOptions options;
  options.method = 1;
  options.body.emplace("http://a.example/1.html");
  auto fetched = Fetch(options, {{200, "OK", "Content-Type: application/json\r\n", R"({"success":1})"}});
  EXPECT_EQ(fetched.request->calls,
            (Lines{"SetTimeouts(15000, 15000, 15000, 15000)", std::string("Open(POST, ") + kUrl + ", false)",
                   "SetOption(4, 13056)", "SetRequestHeader(Accept, */*)",
                   std::string("SetRequestHeader(Referer, ") + kUrl + ")", "SetRequestHeader(Accept-Language, zh-cn)",
                   "SetRequestHeader(User-Agent, Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1))",
                   "SetRequestHeader(Content-Type, application/x-www-form-urlencoded)",
                   "SendText(http://a.example/1.html)"}));
  EXPECT_EQ(fetched.result.body, R"({"success":1})");
  EXPECT_EQ(fetched.result.status, 200);
  EXPECT_EQ(fetched.result.responseHeaders, "Content-Type: application/json\r\n");
  EXPECT_FALSE(fetched.result.cookies.has_value());
}

TEST(HttpFetch, MethodNumbersAndDefaultHeaders) {
  struct Case {
    int method;
    const char* name;
    bool contentType;
  };
  const Case cases[] = {{0, "GET", false}, {1, "POST", true},   {2, "HEAD", false},   {3, "PUT", false},
                        {4, "OPTIONS", false}, {5, "DELETE", false}, {6, "TRACE", false}, {7, "CONNECT", false},
                        {9, "GET", false}, {-1, "GET", false}};
  for (const auto& c : cases) {
    HttpFetchOptions options;
    options.method = c.method;
    auto fetched = Fetch(options);
    EXPECT_EQ(fetched.request->CallsNamed("Open"), Lines{std::string("Open(") + c.name + ", " + kUrl + ", false)"})
        << c.method;
    Lines expected = {"Accept: */*", std::string("Referer: ") + kUrl, "Accept-Language: zh-cn", kUserAgent};
    if (c.contentType) expected.push_back("Content-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(fetched.request->HeadersSet(), expected) << c.method;
  }
}

TEST(HttpFetch, HeaderTextAgainstDefaults) {
  struct Case {
    const char* headers;
    Lines sent;
  };
  const Case cases[] = {
      // The marker is found inside another name, so no Accept is added.
      {"x-accept: text/html",
       {"X-Accept: text/html", std::string("Referer: ") + kUrl, "Accept-Language: zh-cn", kUserAgent}},
      {"accept-language: en", {"Accept-Language: en", "Accept: */*", std::string("Referer: ") + kUrl, kUserAgent}},
      {"Connection: keep-alive\r\nConnection: close\r\nconnection: Keep-Alive",
       {"Connection: close", "Connection: Keep-Alive", "Accept: */*", std::string("Referer: ") + kUrl,
        "Accept-Language: zh-cn", kUserAgent}},
      // Lines without a colon and empty lines are dropped; names and values are trimmed.
      {"garbage line\r\n\r\n  X-A :  1  \r\n:novalue",
       {"X-A: 1", "Accept: */*", std::string("Referer: ") + kUrl, "Accept-Language: zh-cn", kUserAgent}},
  };
  for (const auto& c : cases) {
    HttpFetchOptions options;
    options.headers = c.headers;
    EXPECT_EQ(Fetch(options).request->HeadersSet(), c.sent) << c.headers;
  }
}

TEST(HttpFetch, DefaultsAndNormalisationCanBeTurnedOff) {
  HttpFetchOptions options;
  options.headers = "x-test: 1";
  options.addDefaultHeaders = false;
  EXPECT_EQ(Fetch(options).request->HeadersSet(), Lines{"X-Test: 1"});

  options.normalizeHeaderNames = false;
  EXPECT_EQ(Fetch(options).request->HeadersSet(), Lines{"x-test: 1"});

  options.headers = "no colon here";
  EXPECT_TRUE(Fetch(options).request->HeadersSet().empty());
  options.headers = "";
  EXPECT_TRUE(Fetch(options).request->HeadersSet().empty());
}

TEST(NormalizeHeaderNames, CapitalisesEachWord) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"content-type: a", "Content-Type: a"},
      {"x-FOO-bar: b", "X-FOO-Bar: b"},
      {"accept:c", "Accept:c"},
      {"a--b-: x", "A--B-: x"},
      {"\xC4\xE3-x: gbk", "\xC4\xE3-X: gbk"},
      {"one: 1\r\nno colon\r\n\r\ntwo: 2\r\n", "One: 1\r\nTwo: 2"},
      {" lead: v", " lead: v"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeHeaderNames(c.in), c.out) << c.in;
}

TEST(HttpFetch, TimeoutsRedirectsAndCertificates) {
  struct Case {
    std::optional<int> seconds;
    Lines timeouts;
  };
  const Case cases[] = {{20, {"SetTimeouts(20000, 20000, 20000, 20000)"}},
                        {0, {"SetTimeouts(15000, 15000, 15000, 15000)"}},
                        {-5, {"SetTimeouts(15000, 15000, 15000, 15000)"}},
                        {std::nullopt, {"SetTimeouts(15000, 15000, 15000, 15000)"}},
                        {-1, {}},
                        {5000000, {"SetTimeouts(2147483647, 2147483647, 2147483647, 2147483647)"}}};
  for (const auto& c : cases) {
    HttpFetchOptions options;
    options.timeoutSeconds = c.seconds;
    EXPECT_EQ(Fetch(options).request->CallsNamed("SetTimeouts"), c.timeouts) << c.seconds.value_or(-99);
  }

  HttpFetchOptions options;
  options.noRedirect = true;
  EXPECT_EQ(Fetch(options).request->CallsNamed("SetOption"), (Lines{"SetOption(6, 0)", "SetOption(4, 13056)"}));
  options.noRedirect = false;
  options.verifyCertificates = true;
  EXPECT_EQ(Fetch(options).request->CallsNamed("SetOption"), Lines{"SetOption(4, 0)"});
}

TEST(HttpFetch, ProxyAndCredentials) {
  HttpFetchOptions options;
  options.proxy = "127.0.0.1:3128";
  options.proxyUser = "user";
  options.proxyPassword = "pass";
  options.addDefaultHeaders = false;
  auto fetched = Fetch(options);
  EXPECT_EQ(fetched.request->CallsNamed("SetProxy"), Lines{"SetProxy(2, 127.0.0.1:3128, )"});
  EXPECT_EQ(fetched.request->CallsNamed("SetCredentials"), Lines{"SetCredentials(user, pass, 1)"});
  EXPECT_EQ(fetched.request->HeadersSet(), Lines{"Proxy-Authorization: Basic dXNlcjpwYXNz"});

  options.credentialsFor = 0;
  fetched = Fetch(options);
  EXPECT_EQ(fetched.request->CallsNamed("SetCredentials"), Lines{"SetCredentials(user, pass, 0)"});
  EXPECT_TRUE(fetched.request->HeadersSet().empty());

  options.proxyUser = "";
  options.credentialsFor.reset();
  fetched = Fetch(options);
  EXPECT_TRUE(fetched.request->CallsNamed("SetCredentials").empty());
  EXPECT_TRUE(fetched.request->HeadersSet().empty());

  options.proxy.reset();
  options.proxyUser = "user";
  fetched = Fetch(options);
  EXPECT_TRUE(fetched.request->CallsNamed("SetProxy").empty());
  EXPECT_TRUE(fetched.request->CallsNamed("SetCredentials").empty());
}

TEST(HttpFetch, Bodies) {
  HttpFetchOptions options;
  options.body = "text";
  options.bodyBytes = Bytes("b\0y", 3);
  EXPECT_EQ(Fetch(options).request->CallsNamed("SendBytes"), Lines{std::string("SendBytes(b\0y)", 14)});
  options.bodyBytes = Bytes();
  EXPECT_EQ(Fetch(options).request->CallsNamed("SendText"), Lines{"SendText(text)"});
  options.body.reset();
  EXPECT_EQ(Fetch(options).request->CallsNamed("SendText"), Lines{"SendText()"});
}

TEST(HttpFetch, ResponseCookies) {
  const RecordingRequest::Reply reply{200, "OK", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nX: y\r\n", ""};
  HttpFetchOptions options;
  auto fetched = Fetch(options, {reply});
  EXPECT_EQ(fetched.result.responseCookies, "a=1; b=2");
  EXPECT_TRUE(fetched.request->CallsNamed("SetRequestHeader(Cookie").empty());

  // Only a line whose name is exactly "Set-Cookie" counts.
  fetched = Fetch(options, {{200, "OK", "set-cookie: a=1\r\nSet-Cookie:b=2\r\nSet-Cookie: c=3\r\n", ""}});
  EXPECT_EQ(fetched.result.responseCookies, "c=3");
}

TEST(HttpFetch, CallerCookiesInAndOut) {
  struct Case {
    std::optional<std::string> cookies;
    std::optional<bool> merge;
    std::string responseHeaders;
    std::optional<std::string> cookieHeader;  // the Cookie header set, if any
    std::optional<std::string> cookiesAfter;
    std::string responseCookies;
  };
  const Case cases[] = {
      {"Cookie: a=1", false, "", " a=1", " a=1", ""},
      {"a=1; b=2", std::nullopt, "Set-Cookie: b=3; path=/\r\nSet-Cookie: c=4; path=/\r\n", "a=1; b=2",
       "b=3; c=4; a=1", "b=3; c=4; a=1"},
      {"", std::nullopt, "Set-Cookie: s=1; path=/\r\n", "", "s=1", "s=1"},
      {"cookie: x=1; COOKIE:y=2", false, "", " x=1; y=2", " x=1; y=2", ""},
      {"a=1", std::nullopt, "Set-Cookie: a=deleted; path=/\r\n", "a=1", "", ""},
      {std::nullopt, std::nullopt, "Set-Cookie: s=1; path=/\r\n", std::nullopt, std::nullopt, "s=1"},
  };
  for (const auto& c : cases) {
    HttpFetchOptions options;
    options.cookies = c.cookies;
    options.mergeCookies = c.merge;
    options.addDefaultHeaders = false;
    auto fetched = Fetch(options, {{200, "OK", c.responseHeaders, ""}});
    Lines expectedHeaders;
    if (c.cookieHeader) expectedHeaders.push_back("Cookie: " + *c.cookieHeader);
    EXPECT_EQ(fetched.request->HeadersSet(), expectedHeaders) << c.cookies.value_or("(left out)");
    EXPECT_EQ(fetched.result.cookies, c.cookiesAfter) << c.cookies.value_or("(left out)");
    EXPECT_EQ(fetched.result.responseCookies, c.responseCookies) << c.cookies.value_or("(left out)");
  }
}

TEST(HttpFetch, NoReplyGivesEmptyResults) {
  HttpFetchOptions options;
  options.cookies = "a=1";
  auto fetched = Fetch(options, {});
  EXPECT_EQ(fetched.result.status, 0);
  EXPECT_TRUE(fetched.result.body.empty());
  EXPECT_TRUE(fetched.result.responseHeaders.empty());
  // The caller's cookies still merge with the (empty) response cookies.
  EXPECT_EQ(fetched.result.responseCookies, "a=1");
  EXPECT_EQ(fetched.result.cookies, "a=1");

  options.cookies.reset();
  fetched = Fetch(options, {});
  EXPECT_TRUE(fetched.result.responseCookies.empty());
}

}  // namespace
}  // namespace qc
