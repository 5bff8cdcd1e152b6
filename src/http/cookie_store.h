// The process-wide cookie store that clients in cookie mode 2 share: it
// keeps cookies per request URL and outlives every client. Safe to use
// from several threads at once.
#pragma once

#include <string_view>

#include "http/encoding.h"

namespace qc {

class CookieStore {
 public:
  static CookieStore& Instance();

  // Keeps `name`=`data` for the host of `url` and the directory of its path
  // (a later set of the same name there replaces it). False for a URL
  // without a host or an empty name.
  bool SetCookie(std::string_view url, std::string_view name, std::string_view data);
  // Forgets the cookie `name` kept for `url`'s host and directory.
  bool RemoveCookie(std::string_view url, std::string_view name);
  // The cookies that apply to `url` ("a=1; b=2"; longer paths first),
  // empty when none.
  Text GetCookies(std::string_view url);
  void Clear();

  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;

 private:
  CookieStore() = default;
};

}  // namespace qc
