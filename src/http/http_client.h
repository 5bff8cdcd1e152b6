// The reusable HTTP client: one request object, the current URL, default
// request headers, redirect following of its own and cookies kept one of
// three ways (mode 0 a plain Cookie header, 1 the jar, 2 the process-wide
// cookie store).
//
// A client is used by one thread. Copying it copies the settings and texts
// and shares the request object, so both copies drive one request.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "http/encoding.h"
#include "http/request_object.h"

namespace qc {

using RequestObjectFactory = std::function<std::shared_ptr<qc::RequestObject>()>;

class HttpClient {
 public:
  // Builds its request objects with `factory` (default: the libcurl backend).
  explicit HttpClient(RequestObjectFactory factory = {});
  ~HttpClient();
  HttpClient(const HttpClient&) = default;
  HttpClient& operator=(const HttpClient&) = default;
  HttpClient(HttpClient&&) noexcept = default;
  HttpClient& operator=(HttpClient&&) noexcept = default;

  void Initialize();     // makes the request object
  void Finalize();       // lets it go
  void ResetSettings();  // auto headers on, mode 0, redirects followed, certificate errors ignored, empty jar
  void Reset();          // Finalize, Initialize, ResetSettings

  // Cookie steps of the send sequence (mode 1: jar, mode 2: cookie store).
  void CollectJarCookies(bool skipBlankCookies);
  void StoreSystemCookies(bool skipBlankCookies);
  void PutSystemCookies(std::string_view cookies);
  void SendJarCookies();
  void SendSystemCookies();
  void ApplyDefaultHeaders(bool hasBody);
  void ApplyCookies();
  void AfterSend(bool skipBlankCookies);
  void FollowRedirect(bool skipBlankCookies);

  // With an argument, holds `replacement` instead; always returns the one held.
  std::shared_ptr<qc::RequestObject> RequestObject(std::shared_ptr<qc::RequestObject> replacement = nullptr);
  Text LastError() const;
  bool SetAutoHeaders(bool enabled = true);
  void SetCookieMode(int mode = 1);

  // A URL without "http://" or "https://" gets "http://" in front.
  void OpenRequest(std::string_view url);  // GET
  void OpenRequest(std::string_view method, std::string_view url, bool async = false);
  void SendBytes(std::optional<std::string_view> body = std::nullopt, bool skipBlankCookies = false);
  void SendText(std::optional<std::string_view> body = std::nullopt, bool skipBlankCookies = false);
  bool WaitForResponse(int seconds = 0);
  void Abort();

  Bytes ResponseBytes();
  Text ResponseBytesAsText();  // the body up to its first zero byte, not decoded
  Text ResponseText();         // decoded by the response's charset
  Text ResponseUtf8Text();     // decoded as UTF-8
  int StatusCode();
  // The URL the response belongs to: the final one when redirects were
  // followed by the machinery, else the requested one.
  Text ResponseUrl();
  Text StatusText();
  Text AllResponseHeaders();
  Text ResponseHeader(std::string_view name);
  Text GetResponseCookies();
  Text GetResponseCookie(std::string_view name);
  // The response's Location; with `resolve`, made absolute against the URL.
  Text GetLocation(bool resolve = false);

  // Milliseconds; each one left out takes its own default
  // (10000, 20000, 300000, 600000).
  void SetTimeouts(std::optional<int> resolveMs = std::nullopt, std::optional<int> connectMs = std::nullopt,
                   std::optional<int> sendMs = std::nullopt, std::optional<int> receiveMs = std::nullopt);
  void SetProxy(std::string_view proxy, std::string_view user = {}, std::string_view password = {});
  void SetCredentials(std::string_view user, std::string_view password, int forWhom = kCredentialsForServer);
  void SetClientCertificate(std::string_view certificate);
  void SetAutoLogonPolicy(int policy);
  OptionValue AccessOption(int index, std::optional<OptionValue> value = std::nullopt);
  void SetFollowRedirects(bool enabled = true);
  void SetIgnoreCertErrors(bool ignore = true);

  void SetHeader(std::string_view name, std::string_view value);
  void ClearHeader(std::string_view name);
  void SetCookies(std::string_view cookies);
  void SetUserAgent(std::optional<std::string_view> value = std::nullopt);
  void SetReferer(std::optional<std::string_view> value = std::nullopt);
  void SetAccept(std::optional<std::string_view> value = std::nullopt);
  void SetAcceptLanguage(std::optional<std::string_view> value = std::nullopt);
  void SetContentType(std::optional<std::string_view> value = std::nullopt);
  void SetAjaxHeader();
  void SetClientIp(std::string_view address);

  // Jar operations; outside mode 1 they do nothing and return empty/false.
  Text JarText(std::optional<std::string_view> cookies = std::nullopt);
  Text GetJarCookie(std::string_view name, bool withName = false);
  bool MergeIntoJar(std::string_view cookies);
  bool DeleteFromJar(std::string_view names);

  // Read-only views of the state.
  const Text& Url() const { return url_; }
  int CookieMode() const { return cookieMode_; }
  const Text& Jar() const { return jar_; }
  int JarLength() const { return jarLength_; }
  int RedirectCount() const { return redirectCount_; }
  bool FollowsRedirects() const { return followRedirects_; }

 private:
  void SetMarkedHeader(std::string_view name, std::string_view value);
  void RefreshJarLength();
  void SendSequence(std::optional<std::string_view> body, bool asBytes, bool skipBlankCookies);

  RequestObjectFactory factory_;
  std::shared_ptr<qc::RequestObject> request_;
  Text url_;
  bool isPost_ = false;
  bool async_ = false;
  bool autoHeaders_ = true;
  bool userAgentSet_ = false;
  bool contentTypeSet_ = false;
  bool acceptLanguageSet_ = false;
  int cookieMode_ = 0;
  Text jar_ = "; ";
  int jarLength_ = 2;
  bool followRedirects_ = true;
  int redirectCount_ = 0;
};

}  // namespace qc
