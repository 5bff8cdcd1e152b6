#include "http/http_fetch.h"

#include <array>
#include <climits>
#include <utility>

#include "http/cookie_text.h"
#include "http/text_trim.h"

namespace qc {
namespace {

using detail::SplitText;
using detail::TrimText;

constexpr std::array<std::string_view, 8> kMethodNames = {"GET",     "POST",   "HEAD",  "PUT",
                                                          "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int kMethodPost = 1;
constexpr int kDefaultTimeoutMs = 15000;

// Name and value of a header line, both trimmed; a line without ":" gives
// two empty texts.
std::pair<std::string_view, std::string_view> NameAndValue(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return {TrimText(line.substr(0, colon)), TrimText(line.substr(colon + 1))};
}

void RemoveEveryIgnoringCase(Text& text, std::string_view what) {
  for (std::size_t at = FindText(text, what, 0, true); at != std::string_view::npos;
       at = FindText(text, what, at, true)) {
    text.erase(at, what.size());
  }
}

// Splits at "-" keeping every piece, empty ones included.
std::vector<std::string_view> NamePieces(std::string_view name) {
  std::vector<std::string_view> pieces;
  std::size_t from = 0;
  for (std::size_t dash = name.find('-'); dash != std::string_view::npos; dash = name.find('-', from)) {
    pieces.push_back(name.substr(from, dash - from));
    from = dash + 1;
  }
  pieces.push_back(name.substr(from));
  return pieces;
}

Text CapitaliseFirst(std::string_view piece) {
  Text out(piece);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

int TimeoutMs(int seconds) {
  if (seconds < 1) return kDefaultTimeoutMs;
  return seconds > INT_MAX / 1000 ? INT_MAX : seconds * 1000;
}

}  // namespace

Text AddDefaultHeaders(std::string_view headerText, std::string_view url, int method) {
  Text text(headerText);
  if (!ContainsText(text, "Accept:", true)) text += "\r\nAccept: */*";
  if (!ContainsText(text, "Referer:", true)) text += "\r\nReferer: " + Text(url);
  if (!ContainsText(text, "Accept-Language:", true)) text += "\r\nAccept-Language: zh-cn";
  if (!ContainsText(text, "User-Agent:", true)) {
    text += "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
  }
  if (method == kMethodPost && !ContainsText(text, "Content-Type:", true)) {
    text += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
  return text;
}

Text NormalizeHeaderNames(std::string_view headerText) {
  Text out;
  bool first = true;
  for (auto line : SplitText(headerText, "\r\n")) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    Text name;
    bool firstPiece = true;
    for (auto piece : NamePieces(line.substr(0, colon))) {
      if (!firstPiece) name += '-';
      name += CapitaliseFirst(piece);
      firstPiece = false;
    }
    if (!first) out += "\r\n";
    out += name;
    out += line.substr(colon);
    first = false;
  }
  return out;
}

Text CollectResponseCookies(std::string_view responseHeaders) {
  Text cookies;
  for (auto line : SplitText(responseHeaders, "\r\n")) {
    if (TextBefore(line, ": ") != "Set-Cookie") continue;
    Text entry;
    if (line.find(';') == std::string_view::npos) {
      entry = Text(line);
      RemoveEveryIgnoringCase(entry, "Set-Cookie:");
      entry = Text(TrimText(entry));
    } else {
      entry = Text(TrimText(TextBetween(line, "Set-Cookie:", ";")));
    }
    cookies += entry;
    cookies += "; ";
  }
  if (cookies.size() >= 2) cookies.resize(cookies.size() - 2);
  return cookies;
}

HttpFetchResult HttpFetch(const HttpFetchOptions& options) {
  HttpFetchResult result;
  result.cookies = options.cookies;
  const int credentialsFor = options.credentialsFor.value_or(kCredentialsForProxy);
  const bool mergeCookies = options.mergeCookies.value_or(true);
  const bool addDefaultHeaders = options.addDefaultHeaders.value_or(true);
  const bool normalizeHeaderNames = options.normalizeHeaderNames.value_or(true);
  int method = options.method.value_or(0);
  if (method < 0 || method >= static_cast<int>(kMethodNames.size())) method = 0;

  std::shared_ptr<RequestObject> request = options.requestObject ? options.requestObject : CreateRequestObject();
  if (!request) return result;

  const int timeoutSeconds = options.timeoutSeconds.value_or(0);
  if (timeoutSeconds != -1) {
    const int ms = TimeoutMs(timeoutSeconds);
    request->SetTimeouts(ms, ms, ms, ms);
  }
  const Text proxy = options.proxy.value_or(Text());
  if (!proxy.empty()) request->SetProxy(kProxyNamed, proxy, "");
  request->Open(kMethodNames[static_cast<std::size_t>(method)], options.url, false);
  if (options.noRedirect.value_or(false)) request->SetOption(kOptionEnableRedirects, 0LL);
  request->SetOption(kOptionSslErrorIgnoreFlags, options.verifyCertificates.value_or(false) ? 0LL : kIgnoreCertErrors);

  Text headerText = options.headers.value_or(Text());
  if (addDefaultHeaders) headerText = AddDefaultHeaders(headerText, options.url, method);
  if (normalizeHeaderNames) headerText = NormalizeHeaderNames(headerText);

  const Text proxyUser = options.proxyUser.value_or(Text());
  const Text proxyPassword = options.proxyPassword.value_or(Text());
  if (!proxy.empty() && !proxyUser.empty()) {
    request->SetCredentials(proxyUser, proxyPassword, credentialsFor);
    if (credentialsFor == kCredentialsForProxy) {
      request->SetRequestHeader("Proxy-Authorization", "Basic " + Base64Encode(proxyUser + ":" + proxyPassword));
    }
  }

  if (result.cookies) {
    Text& cookies = *result.cookies;
    if (!cookies.empty() && ContainsText(cookies, "Cookie:", true)) RemoveEveryIgnoringCase(cookies, "Cookie:");
    request->SetRequestHeader("Cookie", cookies);
  }

  if (headerText.find("\r\n") == Text::npos) {
    const auto [name, value] = NameAndValue(headerText);
    if (!name.empty()) request->SetRequestHeader(name, value);
  } else {
    for (auto line : SplitText(headerText, "\r\n")) {
      if (line.empty()) continue;
      const auto [name, value] = NameAndValue(line);
      if (name.empty() || (name == "Connection" && value == "keep-alive")) continue;
      request->SetRequestHeader(name, value);
    }
  }

  const Bytes bodyBytes = options.bodyBytes.value_or(Bytes());
  if (!bodyBytes.empty()) {
    request->SendBytes(bodyBytes);
  } else {
    request->SendText(options.body.value_or(Text()));
  }

  result.body = request->ResponseBody();
  result.responseHeaders = request->GetAllResponseHeaders();
  result.status = request->Status();
  (void)request->StatusText();
  result.responseCookies = CollectResponseCookies(result.responseHeaders);

  if (mergeCookies && result.cookies) {
    result.responseCookies = MergeCookieText(*result.cookies, result.responseCookies);
  }
  return result;
}

}  // namespace qc
