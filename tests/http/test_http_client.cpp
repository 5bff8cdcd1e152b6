// HttpClient against the recording request object: header marks, cookie
// modes, its own redirect following and Location resolution.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/cookie_store.h"
#include "http/http_client.h"
#include "support/http_recording_request.h"

namespace qc {
namespace {

using test::RecordingRequest;
using Lines = std::vector<std::string>;

constexpr const char* kUserAgent = "User-Agent: Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2)";
constexpr const char* kFormType = "Content-Type: application/x-www-form-urlencoded";

// A client whose request object is a recording fake.
struct Recorded {
  std::shared_ptr<RecordingRequest> request = std::make_shared<RecordingRequest>();
  HttpClient client{[r = request] { return r; }};

  // The calls since the last Open.
  Lines SinceOpen() const {
    Lines out;
    for (const auto& call : request->calls) {
      if (call.rfind("Open(", 0) == 0) out.clear();
      out.push_back(call);
    }
    return out;
  }
  Lines HeadersSinceOpen() const {
    Lines out;
    for (const auto& call : SinceOpen()) {
      if (call.rfind("SetRequestHeader(", 0) != 0) continue;
      std::string inner = call.substr(17, call.size() - 18);
      out.push_back(inner.replace(inner.find(", "), 2, ": "));
    }
    return out;
  }
};

RecordingRequest::Reply Redirect(const std::string& location, const std::string& extra = "") {
  return {302, "Found", extra + "Location: " + location + "\r\nContent-Length: 0\r\n", ""};
}

TEST(HttpClient, ConstructionSetsDefaults) {
  Recorded r;
  EXPECT_EQ(r.request->calls, Lines{"SetOption(4, 13056)"}) << "redirect following is left to the object";
  EXPECT_EQ(r.client.CookieMode(), 0);
  EXPECT_EQ(r.client.Jar(), "; ");
  EXPECT_EQ(r.client.JarLength(), 2);
  EXPECT_TRUE(r.client.FollowsRedirects());
}

TEST(HttpClient, OpenRequestCompletesTheUrl) {
  struct Case {
    const char* given;
    const char* opened;
  };
  const Case cases[] = {{"shop.a.example/a", "http://shop.a.example/a"},
                        {"HTTPS://shop.a.example/", "HTTPS://shop.a.example/"},
                        {"http://", "http://http://"},
                        {"https://", "https://"},
                        {"Http://x", "Http://x"},
                        {"", "http://"}};
  for (const auto& c : cases) {
    Recorded r;
    r.client.OpenRequest(c.given);
    EXPECT_EQ(r.request->calls.back(), std::string("Open(GET, ") + c.opened + ", false)") << c.given;
    EXPECT_EQ(r.client.Url(), c.opened);
  }
  Recorded r;
  r.client.OpenRequest("HEAD", "a.example", true);
  EXPECT_EQ(r.request->calls.back(), "Open(HEAD, http://a.example, true)");
}

TEST(HttpClient, DefaultHeadersAtSend) {
  struct Case {
    const char* method;
    std::optional<std::string> body;
    Lines headers;
    std::string send;
  };
  const Case cases[] = {
      {"GET", std::nullopt, {kUserAgent, "Accept-Language: zh-cn"}, "Send()"},
      {"GET", "x=1", {kUserAgent, "Accept-Language: zh-cn", kFormType}, "SendText(x=1)"},
      {"post", std::nullopt, {kUserAgent, "Accept-Language: zh-cn", kFormType}, "Send()"},
      {"PUT", "", {kUserAgent, "Accept-Language: zh-cn", kFormType}, "SendText()"},
  };
  for (const auto& c : cases) {
    Recorded r;
    r.client.OpenRequest(c.method, "a.example/");
    if (c.body) {
      r.client.SendText(*c.body);
    } else {
      r.client.SendText();
    }
    EXPECT_EQ(r.HeadersSinceOpen(), c.headers) << c.method;
    EXPECT_EQ(r.SinceOpen().back(), c.send) << c.method;
  }

  Recorded r;
  r.client.OpenRequest("a.example/");
  r.client.SetAutoHeaders(false);
  r.client.SendBytes(std::string_view("\x01\x02", 2));
  EXPECT_TRUE(r.HeadersSinceOpen().empty());
  EXPECT_EQ(r.SinceOpen().back(), "SendBytes(\x01\x02)");
}

TEST(HttpClient, SettersMarkHeadersUntilTheNextOpen) {
  Recorded r;
  r.client.OpenRequest("POST", "a.example/");
  r.client.SetUserAgent();
  r.client.SetHeader("accept-language", "en");
  r.client.SetContentType("text/plain");
  r.client.SendText("b");
  EXPECT_EQ(r.HeadersSinceOpen(), (Lines{kUserAgent, "accept-language: en", "Content-Type: text/plain"}));

  r.client.OpenRequest("POST", "a.example/");
  r.client.SetHeader("User-Agent", "bot");
  r.client.SendText("b");
  EXPECT_EQ(r.HeadersSinceOpen(), (Lines{"User-Agent: bot", "Accept-Language: zh-cn", kFormType}));

  r.client.OpenRequest("a.example/p");
  r.client.SetReferer();
  r.client.SetAccept();
  r.client.SetAjaxHeader();
  r.client.SetClientIp("10.0.0.1");
  r.client.ClearHeader("X-Gone");
  r.client.SetHeader("", "ignored");
  r.client.ClearHeader("");
  EXPECT_EQ(r.HeadersSinceOpen(),
            (Lines{"Referer: http://a.example/p", "Accept: */*", "x-requested-with: XMLHttpRequest",
                   "X-Forwarded-For: 10.0.0.1", "CLIENT_IP: 10.0.0.1", "VIA: 10.0.0.1", "REMOTE_ADDR: 10.0.0.1",
                   "X-Gone: "}));
}

TEST(HttpClient, TimeoutsProxyAndOptions) {
  Recorded r;
  r.client.SetTimeouts(std::nullopt, 5000);
  r.client.SetTimeouts(1, 2, 3, 4);
  r.client.SetProxy("127.0.0.1:8080", "u", "p");
  r.client.SetProxy("");
  r.client.SetCookieMode(5);
  r.client.SetCookieMode(1);
  r.client.SetFollowRedirects(true);
  r.client.SetFollowRedirects(false);
  r.client.SetCookieMode(0);  // redirects off: option 6 is left alone
  r.client.SetIgnoreCertErrors(false);
  EXPECT_EQ(r.client.CookieMode(), 0);
  EXPECT_EQ(std::get<long long>(r.client.AccessOption(kOptionEnableRedirects)), 0);
  r.client.AccessOption(9, OptionValue{Text("v")});
  EXPECT_EQ(std::get<Text>(r.client.AccessOption(9)), "v");
  r.request->calls.erase(r.request->calls.begin());  // the constructor's option 4
  EXPECT_EQ(r.request->calls,
            (Lines{"SetTimeouts(10000, 5000, 300000, 600000)", "SetTimeouts(1, 2, 3, 4)",
                   "SetProxy(2, 127.0.0.1:8080, )", "SetCredentials(u, p, 1)", "SetProxy(1, , )",
                   "SetOption(6, 1)", "SetOption(6, 0)", "SetOption(6, 1)", "SetOption(6, 0)", "SetOption(4, 0)",
                   "SetOption(9, v)"}));
}

TEST(HttpClient, JarOperationsOnlyInModeOne) {
  Recorded r;
  EXPECT_EQ(r.client.JarText("a=1"), "");
  EXPECT_FALSE(r.client.MergeIntoJar("a=1"));
  EXPECT_EQ(r.client.Jar(), "; ");
  r.client.SetHeader("Cookie", "a=1");
  EXPECT_EQ(r.request->HeadersSet(), Lines{"Cookie: a=1"}) << "mode 0 sends it as a header";

  r.client.SetCookieMode(1);
  EXPECT_EQ(r.client.JarText("a=1"), "a=1");
  EXPECT_EQ(r.client.Jar(), "; a=1; ");
  r.client.SetHeader("cookie", "b=2");
  EXPECT_EQ(r.client.Jar(), "; a=1; b=2; ");
  EXPECT_EQ(r.client.JarLength(), 12);
  EXPECT_EQ(r.client.JarText(), "a=1; b=2");
  EXPECT_EQ(r.client.GetJarCookie("b"), "2");
  EXPECT_TRUE(r.client.DeleteFromJar("a"));
  EXPECT_EQ(r.client.Jar(), "; b=2; ");
  EXPECT_EQ(r.client.JarLength(), 7);
  EXPECT_EQ(r.request->HeadersSet(), Lines{"Cookie: a=1"}) << "mode 1 keeps cookies in the jar";
}

TEST(HttpClient, ModeOneFollowsTenRedirectsCollectingCookies) {
  Recorded r;
  for (int i = 1; i <= 11; ++i) {
    r.request->replies.push_back(
        Redirect("/hop" + std::to_string(i), "Set-Cookie: c" + std::to_string(i) + "=" + std::to_string(i) + "; path=/\r\n"));
  }
  r.client.SetCookieMode(1);
  r.client.OpenRequest("POST", "shop.a.example/start");
  r.client.SetHeader("X-First", "1");
  r.client.SendText("body");

  const auto opens = r.request->CallsNamed("Open");
  ASSERT_EQ(opens.size(), 11u);
  EXPECT_EQ(opens[0], "Open(POST, http://shop.a.example/start, false)");
  EXPECT_EQ(opens[1], "Open(GET, http://shop.a.example:80/hop1, false)");
  EXPECT_EQ(opens[10], "Open(GET, http://shop.a.example:80/hop10, false)");
  EXPECT_EQ(r.request->CallsNamed("SendText"), Lines(1, "SendText(body)"));
  EXPECT_EQ(r.request->CallsNamed("Send").size(), 10u) << "every hop is a GET without a body";
  // The last hop sent the cookies of every earlier response, and no first-request header.
  EXPECT_EQ(r.HeadersSinceOpen(), (Lines{"Cookie: c1=1; c2=2; c3=3; c4=4; c5=5; c6=6; c7=7; c8=8; c9=9; c10=10",
                                         kUserAgent, "Accept-Language: zh-cn"}));
  EXPECT_EQ(r.client.StatusCode(), 302) << "the eleventh redirect is what the caller reads";
  EXPECT_EQ(r.client.GetLocation(), "/hop11");
  EXPECT_EQ(r.client.RedirectCount(), 0);
  EXPECT_EQ(r.client.JarText(), "c1=1; c2=2; c3=3; c4=4; c5=5; c6=6; c7=7; c8=8; c9=9; c10=10; c11=11");
}

TEST(HttpClient, ModeOneStopsWhereTheLocationEnds) {
  Recorded r;
  r.request->replies = {Redirect("next.html", "Set-Cookie: s=1; path=/\r\n"),
                        {200, "OK", "Set-Cookie: s=deleted; path=/\r\n", "done"}};
  r.client.SetCookieMode(1);
  r.client.OpenRequest("shop.a.example/a/x.html");
  r.client.SendText();
  EXPECT_EQ(r.request->CallsNamed("Open").back(), "Open(GET, http://shop.a.example/a/next.html, false)");
  EXPECT_EQ(r.client.ResponseBytes(), "done");
  EXPECT_EQ(r.client.Jar(), "; ");
  EXPECT_EQ(r.client.RedirectCount(), 0);

  // With following off the client stops at the first redirect.
  Recorded off;
  off.request->replies = {Redirect("/b"), {}};
  off.client.SetCookieMode(1);
  off.client.SetFollowRedirects(false);
  off.client.OpenRequest("a.example/");
  off.client.SendText();
  EXPECT_EQ(off.request->CallsNamed("Open").size(), 1u);
  EXPECT_EQ(off.client.StatusCode(), 302);
}

TEST(HttpClient, ModeTwoUsesTheSharedStore) {
  CookieStore::Instance().Clear();
  Recorded r;
  r.request->replies = {{200, "OK", "Set-Cookie: sid=42; path=/\r\nSet-Cookie: blank=; path=/\r\n", ""},
                        {200, "OK", "Set-Cookie: sid=deleted; path=/\r\n", ""}};
  r.client.SetCookieMode(2);
  r.client.SetHeader("Cookie", "pre=1; junk");
  r.client.OpenRequest("http://store.example/a/page");
  r.client.SendText(std::nullopt, true);
  EXPECT_EQ(CookieStore::Instance().GetCookies("http://store.example/a/"), "sid=42");

  // A second client on the same site sends what the first one stored.
  Recorded other;
  other.request->replies = {{}};
  other.client.SetCookieMode(2);
  other.client.OpenRequest("http://store.example/a/other");
  other.client.SendText();
  EXPECT_EQ(other.HeadersSinceOpen().front(), "Cookie: sid=42");

  r.client.OpenRequest("http://store.example/a/page");
  r.client.SendText();
  EXPECT_EQ(CookieStore::Instance().GetCookies("http://store.example/a/"), "");
  CookieStore::Instance().Clear();
}

TEST(HttpClient, GetLocation) {
  struct Case {
    const char* url;
    const char* headers;
    const char* raw;
    const char* resolved;
  };
  const Case cases[] = {
      {"http://shop.a.example/a/x.html", "Location: /b\r\n", "/b", "http://shop.a.example:80/b"},
      {"http://shop.a.example/a/x.html", "Location: c.html\r\n", "c.html", "http://shop.a.example/a/c.html"},
      {"http://shop.a.example", "Location: c.html\r\n", "c.html", "http://shop.a.example/c.html"},
      {"http://shop.a.example:8080/a", "Location: /b\r\n", "/b", "http://shop.a.example:8080/b"},
      {"https://shop.a.example/a", "location:  /b \r\n", "/b", "https://shop.a.example:443/b"},
      {"http://shop.a.example:5/a", "Location: /b\r\n", "/b", "http://shop.a.example:80/b"},
      {"http://a.example/", "Location: HTTPS://b.example/x\r\n", "HTTPS://b.example/x", "HTTPS://b.example/x"},
      {"http://a.example/", "Content-Location: /c\r\nLocation: /d\r\n", "/c", "http://a.example:80/c"},
      // No line break after the value, no value, no Location: nothing.
      {"http://a.example/", "Location: /b", "", ""},
      {"http://a.example/", "Location:   \r\n", "", ""},
      {"http://a.example/", "X: y\r\n", "", ""},
      // A value that is no URL still resolves to a defined text.
      {"http://a.example/d/", "Location: ::not a url::\r\n", "::not a url::", "http://a.example/d/::not a url::"},
  };
  for (const auto& c : cases) {
    Recorded r;
    r.request->replies = {{302, "Found", c.headers, ""}};
    r.client.OpenRequest(c.url);
    r.client.SendText();
    EXPECT_EQ(r.client.GetLocation(), c.raw) << c.url << " | " << c.headers;
    EXPECT_EQ(r.client.GetLocation(true), c.resolved) << c.url << " | " << c.headers;
  }
}

TEST(HttpClient, ResponseReadersAndCookies) {
  Recorded r;
  r.request->replies = {{200, "OK", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; path=/\r\nX-Y: z\r\n",
                         std::string("ab\0cd", 5)}};
  r.client.OpenRequest("a.example/");
  r.client.SendText();
  EXPECT_EQ(r.client.StatusCode(), 200);
  EXPECT_EQ(r.client.StatusText(), "OK");
  EXPECT_EQ(r.client.ResponseBytes(), std::string("ab\0cd", 5));
  EXPECT_EQ(r.client.ResponseBytesAsText(), "ab");
  EXPECT_EQ(r.client.ResponseHeader("x-y"), "z");
  EXPECT_EQ(r.client.GetResponseCookies(), "a=1; b=2");
  EXPECT_EQ(r.client.GetResponseCookie("a"), "1");
}

TEST(HttpClient, CopiesShareTheRequestObject) {
  Recorded r;
  r.client.SetCookieMode(1);
  r.client.JarText("a=1");
  HttpClient copy = r.client;
  copy.OpenRequest("a.example/");
  EXPECT_EQ(r.request->calls.back(), "Open(GET, http://a.example/, false)");
  EXPECT_EQ(copy.Jar(), "; a=1; ");
  copy.JarText("b=2");
  EXPECT_EQ(r.client.Jar(), "; a=1; ") << "texts are copied, not shared";

  // Without a request object every operation gives empty results.
  HttpClient none([] { return std::shared_ptr<RequestObject>(); });
  none.OpenRequest("a.example/");
  none.SendText("x");
  EXPECT_EQ(none.StatusCode(), 0);
  EXPECT_EQ(none.ResponseText(), "");
  EXPECT_FALSE(none.LastError().empty());
}

}  // namespace
}  // namespace qc
