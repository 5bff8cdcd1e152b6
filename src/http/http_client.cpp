#include "http/http_client.h"

#include <cstdlib>
#include <utility>

#include "http/cookie_store.h"
#include "http/cookie_text.h"
#include "http/text_trim.h"

namespace qc {
namespace {

using detail::EqualsIgnoreCase;
using detail::StartsWithIgnoreCase;
using detail::ToLowerAscii;
using detail::TrimText;
using detail::TrimTextStart;

constexpr std::string_view kDefaultUserAgent = "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2)";
constexpr std::string_view kDefaultAcceptLanguage = "zh-cn";
constexpr std::string_view kDefaultContentType = "application/x-www-form-urlencoded";
constexpr int kMaxRedirects = 10;

struct UrlParts {
  Text scheme;  // "http://" or "https://"
  Text host;
  int port = 80;
  std::size_t hostAt = 0;
  std::size_t pathAt = std::string_view::npos;  // npos: no "/" after the host
};

UrlParts SplitUrl(std::string_view url) {
  UrlParts parts;
  const bool https = StartsWithIgnoreCase(url, "https://");
  parts.scheme = https ? "https://" : "http://";
  if (https) {
    parts.hostAt = 8;
  } else if (StartsWithIgnoreCase(url, "http://")) {
    parts.hostAt = 7;
  }
  parts.pathAt = url.find('/', parts.hostAt);
  const std::string_view authority = url.substr(parts.hostAt, parts.pathAt == std::string_view::npos
                                                                  ? std::string_view::npos
                                                                  : parts.pathAt - parts.hostAt);
  const std::size_t colon = authority.find(':');
  if (colon == std::string_view::npos) {
    parts.host = Text(authority);
    parts.port = https ? 443 : 80;
    return parts;
  }
  parts.host = Text(authority.substr(0, colon));
  long port = 0;
  for (char c : authority.substr(colon + 1)) {
    if (c < '0' || c > '9') break;
    port = port * 10 + (c - '0');
    if (port > 65535) break;
  }
  parts.port = port <= 10 ? 80 : static_cast<int>(port);
  return parts;
}

}  // namespace

HttpClient::HttpClient(RequestObjectFactory factory) : factory_(std::move(factory)) {
  if (!factory_) factory_ = [] { return CreateRequestObject(); };
  Initialize();
  ResetSettings();
}

HttpClient::~HttpClient() { Finalize(); }

void HttpClient::Initialize() { request_ = factory_ ? factory_() : nullptr; }

void HttpClient::Finalize() { request_.reset(); }

void HttpClient::ResetSettings() {
  autoHeaders_ = true;
  cookieMode_ = 0;
  followRedirects_ = true;
  if (request_) request_->SetOption(kOptionSslErrorIgnoreFlags, kIgnoreCertErrors);
  jar_ = Text(kEmptyJar);
  RefreshJarLength();
}

void HttpClient::Reset() {
  Finalize();
  Initialize();
  ResetSettings();
}

void HttpClient::RefreshJarLength() { jarLength_ = static_cast<int>(jar_.size()); }

void HttpClient::CollectJarCookies(bool skipBlankCookies) {
  if (CollectCookiesIntoJar(jar_, AllResponseHeaders(), skipBlankCookies)) RefreshJarLength();
}

void HttpClient::StoreSystemCookies(bool skipBlankCookies) {
  auto& store = CookieStore::Instance();
  for (const auto& entry : SetCookieEntries(AllResponseHeaders(), false)) {
    const std::size_t equals = entry.find('=');
    if (equals == Text::npos) continue;
    const Text name = entry.substr(0, equals);
    if (IsDeletedCookieEntry(entry)) {
      // A deleted marker takes the cookie out of the store.
      store.RemoveCookie(url_, name);
      continue;
    }
    const Text data = entry.substr(equals + 1, entry.size() - equals - 2);
    if (skipBlankCookies && TrimTextStart(data).empty()) continue;
    store.SetCookie(url_, name, data);
  }
}

void HttpClient::PutSystemCookies(std::string_view cookies) {
  if (cookies.empty()) return;
  auto& store = CookieStore::Instance();
  for (auto piece : detail::SplitText(cookies, ";")) {
    piece = TrimTextStart(piece);
    const std::size_t equals = piece.find('=');
    if (equals == std::string_view::npos) continue;
    store.SetCookie(url_, piece.substr(0, equals), piece.substr(equals + 1));
  }
}

void HttpClient::SendJarCookies() {
  if (request_) request_->SetRequestHeader("Cookie", JarCookieText(jar_));
}

void HttpClient::SendSystemCookies() {
  const Text cookies = CookieStore::Instance().GetCookies(url_);
  if (request_ && !cookies.empty()) request_->SetRequestHeader("Cookie", cookies);
}

void HttpClient::ApplyDefaultHeaders(bool hasBody) {
  if (!request_) return;
  if (!userAgentSet_) request_->SetRequestHeader("User-Agent", kDefaultUserAgent);
  if (!acceptLanguageSet_) request_->SetRequestHeader("Accept-Language", kDefaultAcceptLanguage);
  if (!contentTypeSet_ && (isPost_ || hasBody)) request_->SetRequestHeader("Content-Type", kDefaultContentType);
}

void HttpClient::ApplyCookies() {
  if (cookieMode_ == 1) SendJarCookies();
  if (cookieMode_ == 2) SendSystemCookies();
}

void HttpClient::AfterSend(bool skipBlankCookies) {
  if (async_ || cookieMode_ == 0) return;
  if (cookieMode_ == 1) CollectJarCookies(skipBlankCookies);
  if (cookieMode_ == 2) StoreSystemCookies(skipBlankCookies);
  if (followRedirects_) FollowRedirect(false);
}

void HttpClient::FollowRedirect(bool /*skipBlankCookies*/) {
  const Text location = GetLocation(true);
  if (location.empty()) {
    redirectCount_ = 0;
    return;
  }
  if (++redirectCount_ > kMaxRedirects) {
    redirectCount_ = 0;
    return;
  }
  // Every hop is a GET without a body; its own send collects its cookies
  // and follows the next hop.
  OpenRequest(location);
  SendText(std::nullopt, false);
}

std::shared_ptr<qc::RequestObject> HttpClient::RequestObject(std::shared_ptr<qc::RequestObject> replacement) {
  if (replacement) request_ = std::move(replacement);
  return request_;
}

Text HttpClient::LastError() const { return request_ ? request_->LastError() : Text("no request object"); }

bool HttpClient::SetAutoHeaders(bool enabled) {
  autoHeaders_ = enabled;
  return autoHeaders_;
}

void HttpClient::SetCookieMode(int mode) {
  if (mode < 0 || mode > 2) mode = 0;
  cookieMode_ = mode;
  if (!request_) return;
  // In modes 1 and 2 the client follows redirects itself, so that it sees
  // the cookies of every hop.
  if (mode > 0) {
    request_->SetOption(kOptionEnableRedirects, 0LL);
  } else if (followRedirects_) {
    request_->SetOption(kOptionEnableRedirects, 1LL);
  }
}

void HttpClient::OpenRequest(std::string_view url) { OpenRequest("GET", url, false); }

void HttpClient::OpenRequest(std::string_view method, std::string_view url, bool async) {
  async_ = async;
  if (autoHeaders_) {
    isPost_ = detail::ToUpperAscii(method) == "POST";
    userAgentSet_ = false;
    contentTypeSet_ = false;
    acceptLanguageSet_ = false;
  }
  const bool hasScheme = url.size() > 7 && (StartsWithIgnoreCase(url, "https://") || StartsWithIgnoreCase(url, "http://"));
  url_ = hasScheme ? Text(url) : "http://" + Text(url);
  if (request_) request_->Open(method, url_, async_);
}

void HttpClient::SendSequence(std::optional<std::string_view> body, bool asBytes, bool skipBlankCookies) {
  ApplyCookies();
  if (autoHeaders_) ApplyDefaultHeaders(body.has_value());
  if (request_) {
    if (!body) {
      request_->Send();
    } else if (asBytes) {
      request_->SendBytes(*body);
    } else {
      request_->SendText(*body);
    }
  }
  AfterSend(skipBlankCookies);
}

void HttpClient::SendBytes(std::optional<std::string_view> body, bool skipBlankCookies) {
  SendSequence(body, true, skipBlankCookies);
}

void HttpClient::SendText(std::optional<std::string_view> body, bool skipBlankCookies) {
  SendSequence(body, false, skipBlankCookies);
}

bool HttpClient::WaitForResponse(int seconds) { return request_ && request_->WaitForResponse(seconds); }

void HttpClient::Abort() {
  if (request_) request_->Abort();
}

Bytes HttpClient::ResponseBytes() { return request_ ? request_->ResponseBody() : Bytes(); }

Text HttpClient::ResponseBytesAsText() { return Text(detail::UpToZero(ResponseBytes())); }

Text HttpClient::ResponseText() { return request_ ? request_->ResponseText() : Text(); }

Text HttpClient::ResponseUtf8Text() { return DecodeBytesToText(ResponseBytes()); }

int HttpClient::StatusCode() { return request_ ? request_->Status() : 0; }

Text HttpClient::ResponseUrl() {
  Text followed = request_ ? request_->ResponseUrl() : Text();
  return followed.empty() ? url_ : followed;
}

Text HttpClient::StatusText() { return request_ ? request_->StatusText() : Text(); }

Text HttpClient::AllResponseHeaders() { return request_ ? request_->GetAllResponseHeaders() : Text(); }

Text HttpClient::ResponseHeader(std::string_view name) {
  return request_ ? request_->GetResponseHeader(name) : Text();
}

Text HttpClient::GetResponseCookies() { return ResponseCookiesText(AllResponseHeaders()); }

Text HttpClient::GetResponseCookie(std::string_view name) { return ResponseCookieValue(AllResponseHeaders(), name); }

Text HttpClient::GetLocation(bool resolve) {
  const Text headers = AllResponseHeaders();
  if (headers.empty()) return {};
  constexpr std::string_view kLocation = "Location:";
  const std::size_t at = FindText(headers, kLocation, 0, true);
  if (at == std::string_view::npos) return {};
  const std::size_t start = at + kLocation.size();
  const std::size_t end = headers.find("\r\n", start);
  if (end == Text::npos) return {};
  const Text value(TrimText(std::string_view(headers).substr(start, end - start)));
  if (value.empty() || !resolve) return value;

  if (value.front() == '/') {
    const UrlParts parts = SplitUrl(url_);
    return parts.scheme + parts.host + ":" + std::to_string(parts.port) + value;
  }
  if (StartsWithIgnoreCase(value, "http://") || StartsWithIgnoreCase(value, "https://")) return value;
  const UrlParts parts = SplitUrl(url_);
  if (parts.pathAt == std::string_view::npos) return url_ + "/" + value;
  return url_.substr(0, url_.rfind('/') + 1) + value;
}

void HttpClient::SetTimeouts(std::optional<int> resolveMs, std::optional<int> connectMs, std::optional<int> sendMs,
                             std::optional<int> receiveMs) {
  if (!request_) return;
  request_->SetTimeouts(resolveMs.value_or(10000), connectMs.value_or(20000), sendMs.value_or(300000),
                        receiveMs.value_or(600000));
}

void HttpClient::SetProxy(std::string_view proxy, std::string_view user, std::string_view password) {
  if (!request_) return;
  if (!proxy.empty()) {
    request_->SetProxy(kProxyNamed, proxy, "");
  } else {
    request_->SetProxy(kProxyDirect, "", "");
  }
  if (!user.empty() || !password.empty()) request_->SetCredentials(user, password, kCredentialsForProxy);
}

void HttpClient::SetCredentials(std::string_view user, std::string_view password, int forWhom) {
  if (request_) request_->SetCredentials(user, password, forWhom);
}

void HttpClient::SetClientCertificate(std::string_view certificate) {
  if (request_) request_->SetClientCertificate(certificate);
}

void HttpClient::SetAutoLogonPolicy(int policy) {
  if (request_) request_->SetAutoLogonPolicy(policy);
}

OptionValue HttpClient::AccessOption(int index, std::optional<OptionValue> value) {
  if (!request_) return OptionValue{0LL};
  if (value) request_->SetOption(index, *value);
  return request_->GetOption(index);
}

void HttpClient::SetFollowRedirects(bool enabled) {
  followRedirects_ = enabled;
  if (request_) request_->SetOption(kOptionEnableRedirects, enabled ? 1LL : 0LL);
}

void HttpClient::SetIgnoreCertErrors(bool ignore) {
  if (request_) request_->SetOption(kOptionSslErrorIgnoreFlags, ignore ? kIgnoreCertErrors : 0LL);
}

void HttpClient::SetMarkedHeader(std::string_view name, std::string_view value) {
  if (autoHeaders_) {
    const Text lower = ToLowerAscii(name);
    if (lower == "user-agent") userAgentSet_ = true;
    if (lower == "accept-language") acceptLanguageSet_ = true;
    if (lower == "content-type") contentTypeSet_ = true;
  }
  if (request_) request_->SetRequestHeader(name, value);
}

void HttpClient::SetHeader(std::string_view name, std::string_view value) {
  if (name.empty()) return;
  if (cookieMode_ > 0 && EqualsIgnoreCase(name, "cookie")) {
    SetCookies(value);
    return;
  }
  SetMarkedHeader(name, value);
}

void HttpClient::ClearHeader(std::string_view name) {
  if (name.empty()) return;
  // An empty value keeps the header off the wire.
  SetMarkedHeader(name, "");
}

void HttpClient::SetCookies(std::string_view cookies) {
  if (cookieMode_ == 0) {
    if (request_) request_->SetRequestHeader("Cookie", cookies);
  } else if (cookieMode_ == 1) {
    MergeIntoJar(cookies);
  } else {
    PutSystemCookies(cookies);
  }
}

void HttpClient::SetUserAgent(std::optional<std::string_view> value) {
  if (autoHeaders_) userAgentSet_ = true;
  if (request_) request_->SetRequestHeader("User-Agent", value.value_or(kDefaultUserAgent));
}

void HttpClient::SetReferer(std::optional<std::string_view> value) {
  if (request_) request_->SetRequestHeader("Referer", value ? *value : std::string_view(url_));
}

void HttpClient::SetAccept(std::optional<std::string_view> value) {
  if (request_) request_->SetRequestHeader("Accept", value.value_or("*/*"));
}

void HttpClient::SetAcceptLanguage(std::optional<std::string_view> value) {
  if (autoHeaders_) acceptLanguageSet_ = true;
  if (request_) request_->SetRequestHeader("Accept-Language", value.value_or(kDefaultAcceptLanguage));
}

void HttpClient::SetContentType(std::optional<std::string_view> value) {
  if (autoHeaders_) contentTypeSet_ = true;
  if (request_) request_->SetRequestHeader("Content-Type", value.value_or(kDefaultContentType));
}

void HttpClient::SetAjaxHeader() {
  if (request_) request_->SetRequestHeader("x-requested-with", "XMLHttpRequest");
}

void HttpClient::SetClientIp(std::string_view address) {
  if (!request_) return;
  for (std::string_view name : {"X-Forwarded-For", "CLIENT_IP", "VIA", "REMOTE_ADDR"}) {
    request_->SetRequestHeader(name, address);
  }
}

Text HttpClient::JarText(std::optional<std::string_view> cookies) {
  if (cookieMode_ != 1) return {};
  if (!cookies) return JarCookieText(jar_);
  jar_ = CookieTextToJar(*cookies);
  RefreshJarLength();
  return Text(*cookies);
}

Text HttpClient::GetJarCookie(std::string_view name, bool withName) {
  if (cookieMode_ != 1) return {};
  return JarCookieValue(jar_, name, withName);
}

bool HttpClient::MergeIntoJar(std::string_view cookies) {
  if (cookieMode_ != 1 || cookies.empty()) return false;
  if (!MergeCookiesIntoJar(jar_, cookies)) return false;
  RefreshJarLength();
  return true;
}

bool HttpClient::DeleteFromJar(std::string_view names) {
  if (cookieMode_ != 1 || names.empty()) return false;
  if (!DeleteCookiesFromJar(jar_, names)) return false;
  RefreshJarLength();
  return true;
}

}  // namespace qc
