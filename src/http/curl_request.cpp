// The request object over libcurl.
//
// Synchronous requests of one thread share that thread's connection pool
// (a CURLSH with the connection, DNS and TLS session caches), so the many
// short-lived clients of a crawl keep their connections alive. libcurl's
// shared caches must not be used by two threads at once, hence one pool per
// thread; an easy handle joins the pool only for the length of a transfer.
// An async request runs on a thread of its own with a private handle.
#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "http/request_object.h"
#include "http/text_trim.h"

namespace qc {
namespace {

using detail::EqualsIgnoreCase;
using Clock = std::chrono::steady_clock;

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

struct ShareDeleter {
  void operator()(CURLSH* share) const { curl_share_cleanup(share); }
};
using ShareHandle = std::unique_ptr<CURLSH, ShareDeleter>;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The calling thread's connection pool; null when libcurl cannot make one.
CURLSH* ThreadPool() {
  thread_local ShareHandle pool = [] {
    ShareHandle share(curl_share_init());
    if (share) {
      curl_share_setopt(share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
      curl_share_setopt(share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
      curl_share_setopt(share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }
    return share;
  }();
  return pool.get();
}

// The one place that turns a libcurl result into our words. The texts never
// carry the URL (it may hold a token).
Text DescribeFailure(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return {};
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      return "the URL is not valid";
    case CURLE_COULDNT_RESOLVE_PROXY:
      return "the proxy name could not be resolved";
    case CURLE_COULDNT_RESOLVE_HOST:
      return "the server name could not be resolved";
    case CURLE_COULDNT_CONNECT:
      return "the connection was refused";
    case CURLE_OPERATION_TIMEDOUT:
      return "the request timed out";
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
      return "the server certificate was rejected";
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
      return "the secure connection failed";
    case CURLE_TOO_MANY_REDIRECTS:
      return "too many redirects";
    case CURLE_GOT_NOTHING:
      return "the server sent no reply";
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
      return "the connection closed before the response was complete";
    case CURLE_SEND_ERROR:
      return "the request could not be sent";
    case CURLE_BAD_CONTENT_ENCODING:
      return "the response could not be decompressed";
    default:
      return Text("the request failed: ") + curl_easy_strerror(code);
  }
}

// Everything a request is made from, copied for an async transfer.
struct Settings {
  Text method = "GET";
  Text url;
  bool async = false;
  int resolveMs = 0;  // the object's own defaults
  int connectMs = 60000;
  int sendMs = 30000;
  int receiveMs = 30000;
  bool useProxy = false;
  Text proxy;
  Text bypass;
  long long ignoreCertErrors = 0;
  bool followRedirects = true;
  std::optional<std::pair<Text, Text>> serverCredentials;
  std::optional<std::pair<Text, Text>> proxyCredentials;
  std::vector<std::pair<Text, Text>> headers;
  Text clientCertificate;
};

enum class BodyKind { kNone, kText, kBytes };

struct Response {
  bool done = false;
  int status = 0;
  Text statusText;
  std::vector<Text> headerLines;
  Bytes body;
  Text error;
  Text finalUrl;  // set only when redirects were followed
};

struct Transfer {
  CURL* handle = nullptr;
  const Settings* settings = nullptr;
  const std::atomic<bool>* abort = nullptr;
  Response response;
  bool headComplete = false;  // the blank line after the final response's headers came
  bool capped = false;
  bool timedOut = false;
  bool aborted = false;
  curl_off_t lastDown = -1;
  curl_off_t lastUp = -1;
  Clock::time_point lastActivity = Clock::now();
};

// Header bytes are kept as they came, less zero bytes, which a Text cannot hold.
Text CleanHeaderText(std::string_view line) {
  Text out;
  out.reserve(line.size());
  for (char c : line) {
    if (c != '\0') out += c;
  }
  return out;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  std::string_view line(data, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  auto& response = transfer->response;
  if (line.substr(0, 5) == "HTTP/") {
    // A new response begins (a redirect hop, an interim reply): only the
    // last one's headers count.
    response.headerLines.clear();
    transfer->headComplete = false;
    const std::size_t code = line.find(' ');
    const std::size_t text = code == std::string_view::npos ? code : line.find(' ', code + 1);
    response.statusText = text == std::string_view::npos ? Text() : CleanHeaderText(line.substr(text + 1));
    return length;
  }
  if (line.empty()) {
    transfer->headComplete = true;
    return length;
  }
  if ((line.front() == ' ' || line.front() == '\t') && !response.headerLines.empty()) {
    response.headerLines.back() += ' ' + CleanHeaderText(detail::TrimText(line.substr(1)));
    return length;
  }
  response.headerLines.push_back(CleanHeaderText(line));
  return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  Bytes& body = transfer->response.body;
  const size_t room = kMaxResponseBody - body.size();
  if (length > room) {
    // Past the cap the transfer ends; what came stays.
    body.append(data, room);
    transfer->capped = true;
    return 0;
  }
  body.append(data, length);
  return length;
}

int OnProgress(void* user, curl_off_t /*downTotal*/, curl_off_t downNow, curl_off_t upTotal, curl_off_t upNow) {
  auto* transfer = static_cast<Transfer*>(user);
  if (transfer->abort && transfer->abort->load()) {
    transfer->aborted = true;
    return 1;
  }
  const auto now = Clock::now();
  curl_off_t ready = 0;
  curl_easy_getinfo(transfer->handle, CURLINFO_PRETRANSFER_TIME_T, &ready);
  if (ready == 0 || downNow != transfer->lastDown || upNow != transfer->lastUp) {
    // Still connecting (the connect time-out rules there) or bytes moved.
    transfer->lastDown = downNow;
    transfer->lastUp = upNow;
    transfer->lastActivity = now;
    return 0;
  }
  const bool sending = upTotal > 0 && upNow < upTotal;
  const int limitMs = sending ? transfer->settings->sendMs : transfer->settings->receiveMs;
  if (limitMs > 0 && now - transfer->lastActivity > std::chrono::milliseconds(limitMs)) {
    transfer->timedOut = true;
    return 1;
  }
  return 0;
}

bool ValidHeaderName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == ':') return false;
  }
  return true;
}

bool ValidHeaderValue(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool HasHeader(const Settings& settings, std::string_view name) {
  for (const auto& header : settings.headers) {
    if (EqualsIgnoreCase(header.first, name)) return true;
  }
  return false;
}

// The URL as libcurl takes it: UTF-8, with spaces and bytes above 0x7F
// percent-encoded.
std::string WireUrl(std::string_view url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : TextToUtf8(url)) {
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// One complete exchange. `pool` may be null (a private connection cache).
Response Perform(const Settings& settings, BodyKind kind, const std::string& body, CURLSH* pool,
                 const std::atomic<bool>* abort) {
  InitCurlOnce();
  Transfer transfer;
  transfer.settings = &settings;
  transfer.abort = abort;
  EasyHandle handle(curl_easy_init());
  if (!handle) {
    transfer.response.error = "the request could not be set up";
    transfer.response.done = true;
    return std::move(transfer.response);
  }
  CURL* h = handle.get();
  transfer.handle = h;
  const std::string url = WireUrl(settings.url);

  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  // Any compression libcurl can undo; the body is handed over decoded.
  curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, settings.followRedirects ? 1L : 0L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);

  const long long ignore = settings.ignoreCertErrors;
  // Unknown authority, wrong usage and expiry are all judged by the peer
  // check; the name check stands apart.
  const bool ignorePeer = (ignore & (0x0100 | 0x0200 | 0x2000)) != 0;
  const bool ignoreName = (ignore & 0x1000) != 0;
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, ignorePeer ? 0L : 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, ignoreName ? 0L : 2L);
  if (!settings.clientCertificate.empty()) {
    curl_easy_setopt(h, CURLOPT_SSLCERT, settings.clientCertificate.c_str());
    curl_easy_setopt(h, CURLOPT_SSLKEY, settings.clientCertificate.c_str());
  }

  // No proxy unless one is named: the environment's proxy variables do not apply.
  curl_easy_setopt(h, CURLOPT_PROXY, settings.useProxy ? settings.proxy.c_str() : "");
  if (settings.useProxy && !settings.bypass.empty()) curl_easy_setopt(h, CURLOPT_NOPROXY, settings.bypass.c_str());
  curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (settings.proxyCredentials) {
    curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, settings.proxyCredentials->first.c_str());
    curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, settings.proxyCredentials->second.c_str());
    curl_easy_setopt(h, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
  }
  if (settings.serverCredentials) {
    curl_easy_setopt(h, CURLOPT_USERNAME, settings.serverCredentials->first.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, settings.serverCredentials->second.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
  }

  const long connectMs = static_cast<long>(settings.resolveMs) + settings.connectMs;
  if (connectMs > 0) curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectMs);

  // The method, and the body when there is one.
  const bool carriesBody = kind != BodyKind::kNone || settings.method == "POST";
  if (settings.method == "HEAD") {
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  } else if (settings.method == "GET" && !carriesBody) {
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  } else {
    if (carriesBody) {
      curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
      curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
    }
    if (settings.method != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, settings.method.c_str());
  }

  // Request headers in the order they were set. An empty value removes
  // the header; libcurl's own Accept, Content-Type and Expect are left off
  // unless set, so only what the caller asked for goes out.
  // Proxy credentials are for the proxy alone: they go on its own list,
  // which reaches the proxy (a proxied request, a CONNECT) but never the
  // server at the end of a tunnel, and nowhere when there is no proxy.
  HeaderList headers;
  HeaderList proxyHeaders;
  auto add = [](HeaderList& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown) {
      (void)list.release();
      list.reset(grown);
    }
  };
  for (const auto& [name, value] : settings.headers) {
    const std::string line = value.empty() ? name + ":" : name + ": " + value;
    if (!EqualsIgnoreCase(name, "Proxy-Authorization")) {
      add(headers, line);
    } else if (settings.useProxy) {
      add(proxyHeaders, line);
    }
  }
  if (!HasHeader(settings, "Accept")) add(headers, "Accept:");
  if (!HasHeader(settings, "Content-Type")) add(headers, "Content-Type:");
  if (!HasHeader(settings, "Expect")) add(headers, "Expect:");
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
  curl_easy_setopt(h, CURLOPT_PROXYHEADER, proxyHeaders.get());

  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

  if (pool) curl_easy_setopt(h, CURLOPT_SHARE, pool);
  const CURLcode code = curl_easy_perform(h);
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  long redirects = 0;
  curl_easy_getinfo(h, CURLINFO_REDIRECT_COUNT, &redirects);
  const char* finalUrl = nullptr;
  if (redirects > 0 && curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &finalUrl) == CURLE_OK && finalUrl) {
    transfer.response.finalUrl = finalUrl;
  }
  // Leave the pool before the handle goes; the connection stays in it.
  if (pool) curl_easy_setopt(h, CURLOPT_SHARE, nullptr);

  Response& response = transfer.response;
  response.done = true;
  response.status = static_cast<int>(status);
  if (transfer.capped) {
    response.error = "the response body was cut at its size limit";
  } else if (transfer.timedOut) {
    response.error = "the request timed out";
  } else if (transfer.aborted) {
    response.error = "the request was aborted";
  } else {
    response.error = DescribeFailure(code);
  }
  if (code != CURLE_OK && !transfer.headComplete) response.status = 0;
  if (response.status == 0) {
    // No complete reply head came: nothing of a half-heard answer is handed on.
    response.headerLines.clear();
    response.statusText.clear();
    response.body.clear();
    response.finalUrl.clear();
  }
  return std::move(response);
}

class CurlRequest final : public RequestObject {
 public:
  ~CurlRequest() override { StopWorker(); }

  void SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
    settings_.resolveMs = std::max(resolveMs, 0);
    settings_.connectMs = std::max(connectMs, 0);
    settings_.sendMs = std::max(sendMs, 0);
    settings_.receiveMs = std::max(receiveMs, 0);
  }

  void SetProxy(int setting, std::string_view proxy, std::string_view bypass) override {
    settings_.useProxy = setting == kProxyNamed && !proxy.empty();
    settings_.proxy = settings_.useProxy ? Text(proxy) : Text();
    settings_.bypass = settings_.useProxy ? Text(bypass) : Text();
  }

  void Open(std::string_view method, std::string_view url, bool async) override {
    StopWorker();
    settings_.method = Text(method);
    settings_.url = Text(url);
    settings_.async = async;
    settings_.headers.clear();
    std::lock_guard lock(mutex_);
    response_ = Response{};
    opened_ = true;
    lastError_.clear();
  }

  void SetOption(int index, const OptionValue& value) override {
    options_[index] = value;
    const long long* number = std::get_if<long long>(&value);
    if (index == kOptionSslErrorIgnoreFlags) settings_.ignoreCertErrors = number ? *number : 0;
    if (index == kOptionEnableRedirects) settings_.followRedirects = number ? *number != 0 : true;
  }

  OptionValue GetOption(int index) override {
    if (index == kOptionSslErrorIgnoreFlags) return settings_.ignoreCertErrors;
    if (index == kOptionEnableRedirects) return settings_.followRedirects ? 1LL : 0LL;
    auto it = options_.find(index);
    return it == options_.end() ? OptionValue{0LL} : it->second;
  }

  void SetCredentials(std::string_view user, std::string_view password, int forWhom) override {
    auto credentials = std::make_pair(Text(user), Text(password));
    if (forWhom == kCredentialsForProxy) {
      settings_.proxyCredentials = std::move(credentials);
    } else {
      settings_.serverCredentials = std::move(credentials);
    }
  }

  void SetRequestHeader(std::string_view name, std::string_view value) override {
    const Text cleanName(detail::TrimText(name));
    // A line break in a name or value would forge further headers.
    if (!ValidHeaderName(cleanName) || !ValidHeaderValue(value)) {
      SetError("the request header is not valid");
      return;
    }
    for (auto& header : settings_.headers) {
      if (EqualsIgnoreCase(header.first, cleanName)) {
        header.second = Text(value);
        return;
      }
    }
    settings_.headers.emplace_back(cleanName, Text(value));
  }

  void SetClientCertificate(std::string_view certificate) override { settings_.clientCertificate = Text(certificate); }

  // Automatic logon has no counterpart here; the policy is accepted and kept.
  void SetAutoLogonPolicy(int policy) override { options_[-1] = static_cast<long long>(policy); }

  void Send() override { Start(BodyKind::kNone, {}); }
  void SendText(std::string_view body) override { Start(BodyKind::kText, TextToUtf8(body)); }
  void SendBytes(std::string_view body) override { Start(BodyKind::kBytes, std::string(body)); }

  bool WaitForResponse(int seconds) override {
    std::unique_lock lock(mutex_);
    auto done = [this] { return response_.done; };
    if (!worker_.joinable()) return done();
    if (seconds < 0) {
      finished_.wait(lock, done);
      return true;
    }
    return finished_.wait_for(lock, std::chrono::seconds(seconds), done);
  }

  void Abort() override {
    const bool running = worker_.joinable();
    StopWorker();
    if (!running) return;
    std::lock_guard lock(mutex_);
    response_ = Response{};
    response_.done = true;
    lastError_ = "the request was aborted";
  }

  Bytes ResponseBody() override {
    std::lock_guard lock(mutex_);
    return response_.done ? response_.body : Bytes();
  }

  Text ResponseText() override {
    std::lock_guard lock(mutex_);
    if (!response_.done) return {};
    return CharsetToText(response_.body, CharsetOf(HeaderValue("Content-Type")));
  }

  Text GetAllResponseHeaders() override {
    std::lock_guard lock(mutex_);
    if (!response_.done) return {};
    Text all;
    for (const auto& line : response_.headerLines) {
      all += line;
      all += "\r\n";
    }
    return all;
  }

  Text GetResponseHeader(std::string_view name) override {
    std::lock_guard lock(mutex_);
    if (!response_.done) return {};
    return HeaderValue(name);
  }

  int Status() override {
    std::lock_guard lock(mutex_);
    return response_.done ? response_.status : 0;
  }

  Text StatusText() override {
    std::lock_guard lock(mutex_);
    return response_.done ? response_.statusText : Text();
  }

  Text ResponseUrl() override {
    std::lock_guard lock(mutex_);
    return response_.done ? response_.finalUrl : Text();
  }

  Text LastError() override {
    std::lock_guard lock(mutex_);
    return lastError_;
  }

 private:
  void SetError(Text error) {
    std::lock_guard lock(mutex_);
    lastError_ = std::move(error);
  }

  // The value of the first header line named `name`; mutex_ held.
  Text HeaderValue(std::string_view name) const {
    for (const auto& line : response_.headerLines) {
      const std::size_t colon = line.find(':');
      if (colon == Text::npos || !EqualsIgnoreCase(detail::TrimText(std::string_view(line).substr(0, colon)), name)) {
        continue;
      }
      std::string_view value = std::string_view(line).substr(colon + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
      return Text(value);
    }
    return {};
  }

  static Text CharsetOf(std::string_view contentType) {
    const std::size_t at = FindText(contentType, "charset=", 0, true);
    if (at == std::string_view::npos) return {};
    std::string_view value = contentType.substr(at + 8);
    return Text(value.substr(0, value.find(';')));
  }

  void Start(BodyKind kind, std::string body) {
    if (!opened_) {
      SetError("the request was not opened");
      return;
    }
    StopWorker();
    if (!settings_.async) {
      Response response = Perform(settings_, kind, body, ThreadPool(), nullptr);
      std::lock_guard lock(mutex_);
      lastError_ = response.error;
      response_ = std::move(response);
      return;
    }
    {
      std::lock_guard lock(mutex_);
      response_ = Response{};
    }
    abort_ = false;
    worker_ = std::thread([this, settings = settings_, kind, body = std::move(body)] {
      Response response = Perform(settings, kind, body, nullptr, &abort_);
      {
        std::lock_guard lock(mutex_);
        lastError_ = response.error;
        response_ = std::move(response);
      }
      finished_.notify_all();
    });
  }

  void StopWorker() {
    if (!worker_.joinable()) return;
    abort_ = true;
    worker_.join();
  }

  Settings settings_;
  std::map<int, OptionValue> options_;
  bool opened_ = false;
  std::thread worker_;
  std::atomic<bool> abort_{false};
  std::mutex mutex_;
  std::condition_variable finished_;
  Response response_;
  Text lastError_;
};

}  // namespace

std::shared_ptr<RequestObject> CreateRequestObject() {
  InitCurlOnce();
  return std::make_shared<CurlRequest>();
}

}  // namespace qc
