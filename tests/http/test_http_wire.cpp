// The libcurl request object on the wire, through HttpFetch and HttpClient,
// against servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "http/http_fetch.h"
#include "support/loopback_server.h"
#include "support/loopback_socket_server.h"

namespace qc {
namespace {

using namespace std::chrono_literals;
using test::LoopbackConnection;
using test::LoopbackServer;
using test::LoopbackSocketServer;
using Lines = std::vector<std::string>;

// The header lines of a raw request, in order.
Lines HeaderLines(const std::string& request) {
  Lines lines;
  std::size_t from = request.find("\r\n");
  while (from != std::string::npos) {
    const std::size_t end = request.find("\r\n", from + 2);
    if (end == std::string::npos || end == from + 2) break;
    lines.push_back(request.substr(from + 2, end - from - 2));
    from = end;
  }
  return lines;
}

std::string RequestLine(const std::string& request) { return request.substr(0, request.find("\r\n")); }

// The header lines without Accept-Encoding, whose list of methods depends
// on how libcurl was built; checks that it offers gzip.
Lines WithoutEncoding(const Lines& lines) {
  Lines out;
  bool offered = false;
  for (const auto& line : lines) {
    if (line.rfind("Accept-Encoding: ", 0) == 0) {
      offered = line.find("gzip") != std::string::npos;
      continue;
    }
    out.push_back(line);
  }
  EXPECT_TRUE(offered) << "compression is offered";
  return out;
}

bool HasLine(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

constexpr const char* kOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";

TEST(HttpWire, FetchSendsItsDefaultHeadersInOrder) {
  LoopbackSocketServer server(LoopbackSocketServer::Reply(kOk));
  ASSERT_TRUE(server.Start());
  HttpFetchOptions options;
  options.url = server.Url("/urls?site=a");
  options.method = 1;
  options.body.emplace("http://a.example/1.html");
  const auto result = HttpFetch(options);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, "ok");

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(RequestLine(requests[0]), "POST /urls?site=a HTTP/1.1");
  EXPECT_EQ(WithoutEncoding(HeaderLines(requests[0])),
            (Lines{"Host: 127.0.0.1:" + std::to_string(server.Port()), "Accept: */*", "Referer: " + server.Url("/urls?site=a"), "Accept-Language: zh-cn",
                   "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
                   "Content-Type: application/x-www-form-urlencoded", "Content-Length: 23"}));
  EXPECT_TRUE(requests[0].ends_with("\r\n\r\nhttp://a.example/1.html"));
}

TEST(HttpWire, ClientSendsOnlyItsOwnHeaders) {
  LoopbackSocketServer server(LoopbackSocketServer::Reply(kOk));
  ASSERT_TRUE(server.Start());
  HttpClient client;
  client.OpenRequest("GET", server.Url("/"));
  client.SetUserAgent("crawler");
  client.SetHeader("X-Gone", "1");
  client.ClearHeader("X-Gone");
  client.SetHeader("x-twice", "1");
  client.SetHeader("X-Twice", "2");
  client.SendText();
  EXPECT_EQ(client.StatusCode(), 200);
  ASSERT_EQ(server.Requests().size(), 1u);
  // No Accept: the object adds nothing of its own beyond Host and the
  // compression it can undo.
  EXPECT_EQ(WithoutEncoding(HeaderLines(server.Requests()[0])),
            (Lines{"Host: 127.0.0.1:" + std::to_string(server.Port()), "User-Agent: crawler", "x-twice: 2", "Accept-Language: zh-cn"}));
}

TEST(HttpWire, TextBodyGoesOutAsUtf8) {
  LoopbackSocketServer server(LoopbackSocketServer::Reply(kOk));
  ASSERT_TRUE(server.Start());
  HttpClient client;
  client.OpenRequest("POST", server.Url("/"));
  client.SendText("\xD6\xD0");  // GBK for U+4E2D
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_TRUE(server.Requests()[0].ends_with("\r\n\r\n\xE4\xB8\xAD"));
  EXPECT_TRUE(HasLine(HeaderLines(server.Requests()[0]), "Content-Type: application/x-www-form-urlencoded"));
}

class RedirectChain : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Get("/r1", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/r2", 302); });
    server_.Get("/r2", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/r3", 301); });
    server_.Get("/r3", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("X-Final", "yes");
      res.set_content("end", "text/plain");
    });
    ASSERT_TRUE(server_.Start());
  }
  LoopbackServer server_;
};

TEST_F(RedirectChain, FollowedByTheObject) {
  HttpFetchOptions options;
  options.url = server_.Url("/r1");
  const auto result = HttpFetch(options);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, "end");
  EXPECT_NE(result.responseHeaders.find("X-Final: yes\r\n"), Text::npos);
  EXPECT_EQ(result.responseHeaders.find("Location"), Text::npos) << "only the final response's headers";
  EXPECT_EQ(server_.RequestCount(), 3);
}

TEST_F(RedirectChain, StopsAtTheFirstWhenTurnedOff) {
  HttpFetchOptions options;
  options.url = server_.Url("/r1");
  options.noRedirect = true;
  const auto result = HttpFetch(options);
  EXPECT_EQ(result.status, 302);
  EXPECT_NE(result.responseHeaders.find("Location: /r2\r\n"), Text::npos);
  EXPECT_EQ(server_.RequestCount(), 1);

  HttpClient client;
  client.SetFollowRedirects(false);
  client.OpenRequest(server_.Url("/r1"));
  client.SendText();
  EXPECT_EQ(client.StatusCode(), 302);
  EXPECT_EQ(client.StatusText(), "Found");
  EXPECT_EQ(client.GetLocation(true), server_.Url("/r2"));
}

TEST(HttpWire, ModeOneFollowsTenOfElevenRedirectsWithCookies) {
  LoopbackServer server;
  std::vector<std::string> cookiesSeen;
  server.Get(R"(/hop/(\d+))", [&](const httplib::Request& req, httplib::Response& res) {
    const int n = std::stoi(req.matches[1]);
    cookiesSeen.push_back(req.get_header_value("Cookie"));
    res.set_header("Set-Cookie", "c" + std::to_string(n) + "=" + std::to_string(n) + "; path=/");
    res.set_redirect("/hop/" + std::to_string(n + 1), 302);
  });
  ASSERT_TRUE(server.Start());

  HttpClient client;
  client.SetCookieMode(1);
  client.OpenRequest(server.Url("/hop/1"));
  client.SendText();
  EXPECT_EQ(server.RequestCount(), 11);
  EXPECT_EQ(client.StatusCode(), 302);
  EXPECT_EQ(client.GetLocation(), "/hop/12");
  EXPECT_EQ(client.RedirectCount(), 0);
  ASSERT_EQ(cookiesSeen.size(), 11u);
  EXPECT_EQ(cookiesSeen[0], "");
  EXPECT_EQ(cookiesSeen[1], "c1=1");
  EXPECT_EQ(cookiesSeen[10], "c1=1; c2=2; c3=3; c4=4; c5=5; c6=6; c7=7; c8=8; c9=9; c10=10");
  EXPECT_EQ(client.JarText(), "c1=1; c2=2; c3=3; c4=4; c5=5; c6=6; c7=7; c8=8; c9=9; c10=10; c11=11");
}

TEST(HttpWire, StalledServerEndsWithinTheTimeout) {
  LoopbackSocketServer server([](LoopbackConnection& connection) {
    connection.ReadRequest();
    connection.WaitForStop(60s);
  });
  ASSERT_TRUE(server.Start());

  HttpFetchOptions options;
  options.url = server.Url("/slow");
  options.timeoutSeconds = 1;
  const auto start = std::chrono::steady_clock::now();
  const auto result = HttpFetch(options);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.body.empty());
  EXPECT_TRUE(result.responseHeaders.empty());

  HttpClient client;
  client.SetTimeouts(1000, 1000, 1000, 1000);
  client.OpenRequest(server.Url("/slow"));
  client.SendText();
  EXPECT_EQ(client.StatusCode(), 0);
  EXPECT_EQ(client.LastError(), "the request timed out");
}

TEST(HttpWire, ProxySeesAbsoluteFormAndCredentials) {
  LoopbackSocketServer proxy(LoopbackSocketServer::Reply(
      "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nproxied"));
  ASSERT_TRUE(proxy.Start());
  HttpFetchOptions options;
  options.url = "http://127.0.0.1:9/target?a=1";  // never contacted: the proxy answers
  options.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
  options.proxyUser = "user";
  options.proxyPassword = "pass";
  const auto result = HttpFetch(options);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, "proxied");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(RequestLine(proxy.Requests()[0]), "GET http://127.0.0.1:9/target?a=1 HTTP/1.1");
  EXPECT_TRUE(HasLine(HeaderLines(proxy.Requests()[0]), "Proxy-Authorization: Basic dXNlcjpwYXNz"));
}

// Through a tunnel the proxy credentials go on the CONNECT, never to the
// server at its far end.
TEST(HttpWire, ProxyCredentialsStayWithTheProxyThroughATunnel) {
  LoopbackServer origin(LoopbackServer::Scheme::kHttps);
  std::string originSaw = "nothing";
  origin.Get("/", [&originSaw](const httplib::Request& req, httplib::Response& res) {
    originSaw = req.get_header_value("Proxy-Authorization");
    res.set_content("tunnelled", "text/plain");
  });
  ASSERT_TRUE(origin.Start());
  const int originPort = origin.Port();
  LoopbackSocketServer proxy([originPort](LoopbackConnection& connection) {
    if (connection.ReadRequest().empty()) return;
    connection.Write("HTTP/1.1 200 Connection established\r\n\r\n");
    connection.TunnelTo(originPort);
  });
  ASSERT_TRUE(proxy.Start());

  HttpFetchOptions options;
  options.url = "https://127.0.0.1:" + std::to_string(originPort) + "/";
  options.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
  options.proxyUser = "user";
  options.proxyPassword = "pass";
  const auto result = HttpFetch(options);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, "tunnelled");
  EXPECT_EQ(originSaw, "");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(RequestLine(proxy.Requests()[0]), "CONNECT 127.0.0.1:" + std::to_string(originPort) + " HTTP/1.1");
  EXPECT_TRUE(HasLine(HeaderLines(proxy.Requests()[0]), "Proxy-Authorization: Basic dXNlcjpwYXNz"));
}

TEST(HttpWire, ClientAnswersTheProxyChallenge) {
  LoopbackSocketServer proxy([](LoopbackConnection& connection) {
    for (std::string request = connection.ReadRequest(); !request.empty(); request = connection.ReadRequest()) {
      const bool authorised = request.find("\r\nProxy-Authorization: Basic dTpw\r\n") != std::string::npos;
      connection.Write(authorised ? kOk
                                  : "HTTP/1.1 407 Proxy Authentication Required\r\n"
                                    "Proxy-Authenticate: Basic realm=\"p\"\r\nContent-Length: 0\r\n\r\n");
    }
  });
  ASSERT_TRUE(proxy.Start());
  HttpClient client;
  client.SetProxy("127.0.0.1:" + std::to_string(proxy.Port()), "u", "p");
  client.OpenRequest("http://127.0.0.1:9/");
  client.SendText();
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(proxy.Requests().size(), 2u);
}

TEST(HttpWire, ServerChallengeAndHeadRequests) {
  LoopbackServer server;
  server.Get("/private", [](const httplib::Request& req, httplib::Response& res) {
    if (req.get_header_value("Authorization") != "Basic dTpw") {
      res.status = 401;
      res.set_header("WWW-Authenticate", "Basic realm=\"r\"");
      return;
    }
    res.set_content("inside", "text/plain");
  });
  ASSERT_TRUE(server.Start());
  HttpClient client;
  client.OpenRequest(server.Url("/private"));
  client.SendText();
  EXPECT_EQ(client.StatusCode(), 401);
  client.OpenRequest(server.Url("/private"));
  client.SetCredentials("u", "p");
  client.SendText();
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(client.ResponseBytes(), "inside");

  // A HEAD request ends after the head, whatever Content-Length says.
  client.OpenRequest("HEAD", server.Url("/private"));
  client.SendText();
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_NE(client.ResponseHeader("Content-Length"), "");
  EXPECT_TRUE(client.ResponseBytes().empty());
}

TEST(HttpWire, SelfSignedCertificateAcceptedOnlyWhenIgnored) {
  LoopbackServer server(LoopbackServer::Scheme::kHttps);
  server.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content("secure", "text/plain"); });
  ASSERT_TRUE(server.Start());

  HttpFetchOptions options;
  options.url = server.Url("/");
  auto result = HttpFetch(options);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, "secure");

  options.verifyCertificates = true;
  result = HttpFetch(options);
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.body.empty());

  HttpClient client;
  client.SetIgnoreCertErrors(false);
  client.OpenRequest(server.Url("/"));
  client.SendText();
  EXPECT_EQ(client.StatusCode(), 0);
  EXPECT_EQ(client.LastError(), "the server certificate was rejected");
}

TEST(HttpWire, LongBodyIsCutAtTheCap) {
  constexpr std::size_t kTotal = 50u * 1024u * 1024u;
  LoopbackServer server;
  server.Get("/big", [](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(kTotal, "application/octet-stream",
                             [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                               static const std::string chunk(64 * 1024, 'x');
                               (void)offset;
                               return sink.write(chunk.data(), std::min(length, chunk.size()));
                             });
  });
  ASSERT_TRUE(server.Start());
  HttpFetchOptions options;
  options.url = server.Url("/big");
  const auto result = HttpFetch(options);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body.size(), kMaxResponseBody);
  EXPECT_NE(result.responseHeaders.find("Content-Length: 52428800\r\n"), Text::npos);
}

TEST(HttpWire, CompressedBodiesArriveDecoded) {
  LoopbackServer server;
  std::string acceptEncoding;
  const std::string page(20000, 'a');
  server.Get("/page", [&](const httplib::Request& req, httplib::Response& res) {
    acceptEncoding = req.get_header_value("Accept-Encoding");
    res.set_content(page, "text/html");
  });
  ASSERT_TRUE(server.Start());
  HttpClient client;
  client.OpenRequest(server.Url("/page"));
  client.SendText();
  EXPECT_NE(acceptEncoding.find("gzip"), std::string::npos);
  EXPECT_NE(client.ResponseHeader("Content-Encoding"), "");
  EXPECT_EQ(client.ResponseBytes(), page);
}

TEST(HttpWire, ResponseTextFollowsTheCharset) {
  struct Case {
    const char* contentType;
    std::string body;
    const char* text;
  };
  const Case cases[] = {
      {"text/html; charset=utf-8", "\xE4\xB8\xAD", "\xD6\xD0"},
      {"text/html", "\xE4\xB8\xAD", "\xD6\xD0"},
      {"text/html; charset=GB2312", "\xD6\xD0", "\xD6\xD0"},
      {"text/html; charset=\"gbk\"", "\xD6\xD0", "\xD6\xD0"},
      {"text/html; charset=x-no-such-charset", "\xE4\xB8\xAD", "\xD6\xD0"},
  };
  for (const auto& c : cases) {
    LoopbackSocketServer server(LoopbackSocketServer::Reply(std::string("HTTP/1.1 200 OK\r\nContent-Type: ") +
                                                            c.contentType + "\r\nContent-Length: " +
                                                            std::to_string(c.body.size()) + "\r\n\r\n" + c.body));
    ASSERT_TRUE(server.Start());
    HttpClient client;
    client.OpenRequest(server.Url("/"));
    client.SendText();
    EXPECT_EQ(client.ResponseText(), c.text) << c.contentType;
  }
}

// Malformed replies get a defined result: no crash, no hang.
TEST(HttpWire, MalformedReplies) {
  struct Case {
    const char* what;
    std::string reply;
    int status;
    std::string body;
    std::string headersContain;
    std::string cookies;
  };
  const std::string big(200 * 1024, 'v');
  const Case cases[] = {
      // A reply whose head cannot be read counts as no reply.
      {"header line without colon", "HTTP/1.1 200 OK\r\nNoColonHere\r\nContent-Length: 2\r\n\r\nok", 0, "", "", ""},
      {"zero byte in a header", std::string("HTTP/1.1 200 OK\r\nX-Bin: a\0b\r\nContent-Length: 2\r\n\r\nok", 52), 0,
       "", "", ""},
      {"binary header value", "HTTP/1.1 200 OK\r\nX-Bin: \x01\xFF\xFE\x7F\r\nContent-Length: 2\r\n\r\nok", 200, "ok",
       "X-Bin: \x01\xFF\xFE\x7F\r\n", ""},
      {"huge header value", "HTTP/1.1 200 OK\r\nX-Big: " + big + "\r\nContent-Length: 2\r\n\r\nok", 0, "", "", ""},
      {"Location that is no URL",
       "HTTP/1.1 302 Found\r\nLocation: http://[::bad\r\nContent-Length: 0\r\n\r\n", 302, "", "Location: ", ""},
      {"Set-Cookie without =", "HTTP/1.1 200 OK\r\nSet-Cookie: flag\r\nSet-Cookie: a=1; path=/\r\nContent-Length: 0\r\n\r\n",
       200, "", "Set-Cookie: flag\r\n", "flag; a=1"},
      {"closed mid-body", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten..", 200, "only ten..",
       "Content-Length: 100", ""},
      {"no status line", "garbage\r\n\r\n", 0, "", "", ""},
      {"nothing at all", "", 0, "", "", ""},
  };
  for (const auto& c : cases) {
    LoopbackSocketServer server([reply = c.reply](LoopbackConnection& connection) {
      connection.ReadRequest();
      connection.Write(reply);
    });
    ASSERT_TRUE(server.Start());
    HttpFetchOptions options;
    options.url = server.Url("/");
    options.timeoutSeconds = 5;
    const auto result = HttpFetch(options);
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.body, c.body) << c.what;
    EXPECT_NE(result.responseHeaders.find(c.headersContain), Text::npos) << c.what << ": " << result.responseHeaders;
    EXPECT_EQ(result.responseHeaders.find('\0'), Text::npos) << c.what;
    EXPECT_EQ(result.responseCookies, c.cookies) << c.what;
  }
}

TEST(HttpWire, BadRequestInputIsRefusedQuietly) {
  LoopbackSocketServer server(LoopbackSocketServer::Reply(kOk));
  ASSERT_TRUE(server.Start());
  HttpClient client;
  client.OpenRequest(server.Url("/"));
  client.SetHeader("X-Inject", "a\r\nX-Forged: 1");
  EXPECT_EQ(client.LastError(), "the request header is not valid");
  client.SetHeader("Bad Name", "v");
  client.SetHeader("X-Big", std::string(64 * 1024, 'b'));
  client.SendText();
  EXPECT_EQ(client.StatusCode(), 200);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].find("X-Forged"), std::string::npos);
  EXPECT_EQ(server.Requests()[0].find("Bad Name"), std::string::npos);

  // URLs that cannot be requested.
  for (const char* url : {"", "ftp://127.0.0.1/x", "http://", "http://[::bad/"}) {
    HttpFetchOptions options;
    options.url = url;
    const auto result = HttpFetch(options);
    EXPECT_EQ(result.status, 0) << url;
    EXPECT_TRUE(result.body.empty()) << url;
  }
}

TEST(HttpWire, ErrorTextsNeverCarryTheToken) {
  LoopbackSocketServer refused(LoopbackSocketServer::Reply(""));
  ASSERT_TRUE(refused.Start());
  const std::string port = std::to_string(refused.Port());
  refused.Stop();  // now nothing listens there
  const std::string secret = "S3CRET-T0KEN";
  const std::string urls[] = {
      "http://127.0.0.1:" + port + "/urls?site=a&token=" + secret,
      "http://no-such-host.invalid/urls?token=" + secret,
      "http://127.0.0.1:" + port + "/urls?token=" + secret + " with space",
      "ftp://127.0.0.1/urls?token=" + secret,
  };
  for (const auto& url : urls) {
    HttpClient client;
    client.OpenRequest("POST", url);
    client.SendText("x");
    EXPECT_EQ(client.StatusCode(), 0) << url;
    EXPECT_FALSE(client.LastError().empty()) << url;
    EXPECT_EQ(client.LastError().find(secret), Text::npos) << client.LastError();
  }
  HttpClient viaProxy;
  viaProxy.SetProxy("127.0.0.1:" + port);
  viaProxy.OpenRequest(urls[0]);
  viaProxy.SendText();
  EXPECT_EQ(viaProxy.LastError().find(secret), Text::npos) << viaProxy.LastError();
}

TEST(HttpWire, FreshClientsOnOneThreadShareAConnection) {
  LoopbackServer server;
  server.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content("hi", "text/plain"); });
  ASSERT_TRUE(server.Start());
  for (int i = 0; i < 20; ++i) {
    HttpClient client;
    client.OpenRequest(server.Url("/"));
    client.SetUserAgent("Mozilla/5.0");
    client.SendText();
    ASSERT_EQ(client.StatusCode(), 200);
  }
  EXPECT_EQ(server.RequestCount(), 20);
  EXPECT_EQ(server.ConnectionCount(), 1);
}

TEST(HttpWire, AsyncRequestsWaitAndAbort) {
  LoopbackServer server;
  server.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content("later", "text/plain"); });
  ASSERT_TRUE(server.Start());
  HttpClient client;
  client.OpenRequest("GET", server.Url("/"), true);
  client.SendText();
  EXPECT_TRUE(client.WaitForResponse(10));
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(client.ResponseText(), "later");

  LoopbackSocketServer stalled([](LoopbackConnection& connection) {
    connection.ReadRequest();
    connection.WaitForStop(60s);
  });
  ASSERT_TRUE(stalled.Start());
  client.OpenRequest("GET", stalled.Url("/"), true);
  client.SendText();
  EXPECT_FALSE(client.WaitForResponse(0));
  const auto start = std::chrono::steady_clock::now();
  client.Abort();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(client.StatusCode(), 0);
  EXPECT_EQ(client.LastError(), "the request was aborted");
}

}  // namespace
}  // namespace qc
