#include "http/cookie_store.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

#include "http/text_trim.h"

namespace qc {
namespace {

// Bounds like a browser's: the oldest cookie goes first.
constexpr std::size_t kMaxCookiesPerHost = 180;
constexpr std::size_t kMaxCookies = 3000;
constexpr std::size_t kMaxCookieBytes = 8192;

struct Cookie {
  Text host;
  Text path;
  Text name;
  Text data;
  std::uint64_t order = 0;
};

struct Place {
  Text host;
  Text path;  // the request path, without query or fragment
};

// Host (lower case, without port or user) and path of an absolute URL.
bool ParseUrl(std::string_view url, Place& place) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return false;
  std::string_view rest = url.substr(scheme + 3);
  const std::size_t pathAt = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, pathAt);
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  if (!authority.empty() && authority.front() == '[') {
    authority = authority.substr(0, authority.find(']') + 1);
  } else {
    authority = authority.substr(0, authority.find(':'));
  }
  if (authority.empty()) return false;
  place.host = detail::ToLowerAscii(authority);
  std::string_view path = pathAt == std::string_view::npos ? std::string_view() : rest.substr(pathAt);
  path = path.substr(0, path.find_first_of("?#"));
  place.path = path.empty() ? "/" : Text(path);
  return true;
}

// Where a cookie set for `path` applies: the path's directory.
Text DefaultPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return "/";
  const std::size_t last = path.rfind('/');
  return last == 0 ? Text("/") : Text(path.substr(0, last));
}

bool PathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (requestPath.substr(0, cookiePath.size()) != cookiePath) return false;
  return requestPath.size() == cookiePath.size() || cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

std::mutex& StoreMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<Cookie>& StoreCookies() {
  static std::vector<Cookie> cookies;
  return cookies;
}

std::uint64_t nextOrder = 0;

void EvictOldest(std::vector<Cookie>& cookies, const Text* host) {
  auto oldest = cookies.end();
  for (auto it = cookies.begin(); it != cookies.end(); ++it) {
    if (host && it->host != *host) continue;
    if (oldest == cookies.end() || it->order < oldest->order) oldest = it;
  }
  if (oldest != cookies.end()) cookies.erase(oldest);
}

}  // namespace

CookieStore& CookieStore::Instance() {
  static CookieStore store;
  return store;
}

bool CookieStore::SetCookie(std::string_view url, std::string_view name, std::string_view data) {
  Place place;
  if (name.empty() || !ParseUrl(url, place)) return false;
  if (name.size() + data.size() > kMaxCookieBytes) return false;
  const Text path = DefaultPath(place.path);
  std::lock_guard lock(StoreMutex());
  auto& cookies = StoreCookies();
  for (auto& cookie : cookies) {
    if (cookie.host == place.host && cookie.path == path && cookie.name == name) {
      cookie.data = Text(data);
      return true;
    }
  }
  const auto sameHost =
      std::count_if(cookies.begin(), cookies.end(), [&](const Cookie& c) { return c.host == place.host; });
  if (static_cast<std::size_t>(sameHost) >= kMaxCookiesPerHost) EvictOldest(cookies, &place.host);
  if (cookies.size() >= kMaxCookies) EvictOldest(cookies, nullptr);
  cookies.push_back(Cookie{place.host, path, Text(name), Text(data), nextOrder++});
  return true;
}

bool CookieStore::RemoveCookie(std::string_view url, std::string_view name) {
  Place place;
  if (name.empty() || !ParseUrl(url, place)) return false;
  const Text path = DefaultPath(place.path);
  std::lock_guard lock(StoreMutex());
  auto& cookies = StoreCookies();
  const auto before = cookies.size();
  std::erase_if(cookies, [&](const Cookie& c) { return c.host == place.host && c.path == path && c.name == name; });
  return cookies.size() != before;
}

Text CookieStore::GetCookies(std::string_view url) {
  Place place;
  if (!ParseUrl(url, place)) return {};
  std::vector<Cookie> matching;
  {
    std::lock_guard lock(StoreMutex());
    for (const auto& cookie : StoreCookies()) {
      if (cookie.host == place.host && PathMatches(place.path, cookie.path)) matching.push_back(cookie);
    }
  }
  std::stable_sort(matching.begin(), matching.end(), [](const Cookie& a, const Cookie& b) {
    if (a.path.size() != b.path.size()) return a.path.size() > b.path.size();
    return a.order < b.order;
  });
  Text out;
  for (const auto& cookie : matching) {
    if (!out.empty()) out += "; ";
    out += cookie.name + "=" + cookie.data;
  }
  return out;
}

void CookieStore::Clear() {
  std::lock_guard lock(StoreMutex());
  StoreCookies().clear();
}

}  // namespace qc
