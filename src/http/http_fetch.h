// One complete HTTP exchange in one call. Nothing is kept between calls.
#pragma once

#include <memory>
#include <optional>

#include "http/encoding.h"
#include "http/request_object.h"

namespace qc {

// Every member after `url` may be left out (std::nullopt / null) and then
// takes the default noted beside it; a member given as zero or empty is
// told apart from one left out.
struct HttpFetchOptions {
  Text url;
  std::optional<int> method;          // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE,
                                      // 6 TRACE, 7 CONNECT; anything else GET
  std::optional<Text> body;           // text body, sent as UTF-8
  std::optional<Text> cookies;        // cookie text to send; left out: no Cookie header
  std::optional<Text> headers;        // "Name: value" lines joined by "\r\n"
  std::optional<bool> noRedirect;     // false
  std::optional<Bytes> bodyBytes;     // sent instead of `body` when not empty
  std::optional<Text> proxy;          // "host:port"; empty: no proxy
  std::optional<int> timeoutSeconds;  // 15 s; -1 keeps the object's own time-outs
  std::optional<Text> proxyUser;
  std::optional<Text> proxyPassword;
  std::optional<int> credentialsFor;  // 1: proxy (plus Proxy-Authorization); 0: server
  std::shared_ptr<RequestObject> requestObject;  // null: a new one for this call
  std::optional<bool> mergeCookies;          // true
  std::optional<bool> addDefaultHeaders;     // true
  std::optional<bool> normalizeHeaderNames;  // true
  std::optional<bool> verifyCertificates;    // false: certificate errors are ignored
};

struct HttpFetchResult {
  Bytes body;                  // empty when there is none or no reply came
  std::optional<Text> cookies; // the caller's cookie text after the call (absent when not given)
  Text responseCookies;        // "name=value" pairs the server set, joined by "; "
  Text responseHeaders;        // the raw response header text
  int status = 0;              // 0 when no reply came
};

HttpFetchResult HttpFetch(const HttpFetchOptions& options);

// The steps of HttpFetch that do not touch the network, for its callers'
// tests and its own.
Text NormalizeHeaderNames(std::string_view headerText);
Text AddDefaultHeaders(std::string_view headerText, std::string_view url, int method);
Text CollectResponseCookies(std::string_view responseHeaders);

}  // namespace qc
