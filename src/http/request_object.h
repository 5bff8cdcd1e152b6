// The request object: one HTTP exchange at a time, configured call by call.
//
// HttpFetch and HttpClient drive the network only through this interface,
// so tests can put a recording fake in place of the real libcurl backend.
// No operation reports failure by itself: what the object cannot supply
// comes back empty or zero (status 0), and LastError tells why.
#pragma once

#include <memory>
#include <string_view>
#include <variant>

#include "http/encoding.h"

namespace qc {

// Option numbers the layer knows.
inline constexpr int kOptionSslErrorIgnoreFlags = 4;  // certificate errors to ignore
inline constexpr int kOptionEnableRedirects = 6;      // the object follows redirects itself
// Unknown authority, wrong usage, name mismatch, expired.
inline constexpr long long kIgnoreCertErrors = 0x3300;

// SetProxy settings.
inline constexpr int kProxyDefault = 0;
inline constexpr int kProxyDirect = 1;
inline constexpr int kProxyNamed = 2;

// SetCredentials targets.
inline constexpr int kCredentialsForServer = 0;
inline constexpr int kCredentialsForProxy = 1;

// Option values are integers or texts.
using OptionValue = std::variant<long long, Text>;

// Bodies are held to this size; the rest of a longer one is not read.
inline constexpr std::size_t kMaxResponseBody = 16u * 1024u * 1024u;

class RequestObject {
 public:
  virtual ~RequestObject() = default;

  // Time-outs in milliseconds; 0 means no limit for that stage. Resolve and
  // connect bound the way to the server, send and receive bound silence
  // while the request goes out and while the response comes in.
  virtual void SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) = 0;
  // kProxyNamed: requests go through `proxy` ("host:port"), except to the
  // hosts of `bypass`; kProxyDirect / kProxyDefault: no proxy.
  virtual void SetProxy(int setting, std::string_view proxy, std::string_view bypass) = 0;
  // Prepares a request; drops the request headers and the last response.
  virtual void Open(std::string_view method, std::string_view url, bool async) = 0;
  virtual void SetOption(int index, const OptionValue& value) = 0;
  virtual OptionValue GetOption(int index) = 0;
  virtual void SetCredentials(std::string_view user, std::string_view password, int forWhom) = 0;
  // Setting a name again replaces its value in place; an empty value keeps
  // the header off the wire.
  virtual void SetRequestHeader(std::string_view name, std::string_view value) = 0;
  // A PEM file holding the client certificate and its key.
  virtual void SetClientCertificate(std::string_view certificate) = 0;
  virtual void SetAutoLogonPolicy(int policy) = 0;

  // Runs the request (in the background when opened async). A text body is
  // GBK and goes out as UTF-8; bytes go out as they are.
  virtual void Send() = 0;
  virtual void SendText(std::string_view body) = 0;
  virtual void SendBytes(std::string_view body) = 0;
  // Waits for an async request: at most `seconds` (negative: no limit).
  // True once the response is complete.
  virtual bool WaitForResponse(int seconds) = 0;
  virtual void Abort() = 0;

  virtual Bytes ResponseBody() = 0;
  // The body decoded by the charset of its Content-Type (UTF-8 when none).
  virtual Text ResponseText() = 0;
  // The final response's header lines "Name: value", each ended by "\r\n".
  virtual Text GetAllResponseHeaders() = 0;
  virtual Text GetResponseHeader(std::string_view name) = 0;
  virtual int Status() = 0;
  virtual Text StatusText() = 0;
  // Where the response came from when the machinery followed redirects to
  // get it (the final URL, as sent); empty when it followed none.
  virtual Text ResponseUrl() { return {}; }
  // Why the last operation failed; empty after a success. Never carries
  // the request URL.
  virtual Text LastError() = 0;
};

// The real backend over libcurl; null when it cannot be made.
std::shared_ptr<RequestObject> CreateRequestObject();

}  // namespace qc
