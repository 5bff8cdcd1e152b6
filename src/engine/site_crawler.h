// The site crawler: the site being crawled, its two link collectors and
// its two checks (the URL filter and the single-URL check).
//
// Threads: SetSite runs on the window thread (also while a crawl runs, from
// the quota button); the collectors and FilterList run on the worker; the
// start button runs CheckUrl on the window thread while no task runs. The
// site fields are guarded; every operation works on one snapshot of them.
#pragma once

#include <mutex>
#include <optional>
#include <string_view>

#include "app/text_array.h"
#include "http/encoding.h"

namespace qc {

struct AppState;
class HttpClient;
class WindowPort;
class Clock;

// The link pattern the collectors use unless told otherwise; group 1 of
// each match is the link.
inline constexpr std::string_view kDefaultLinkPattern = R"(href *= *['"]*(\S+)["'])";

class SiteCrawler {
 public:
  SiteCrawler(AppState& state, WindowPort& window, const Clock& clock);
  SiteCrawler(const SiteCrawler&) = delete;
  SiteCrawler& operator=(const SiteCrawler&) = delete;

  // Reads the site's address: the scheme (any case; none means http), the
  // host without its port, the port. siteUrl keeps the address as typed
  // (blanks around it dropped). An address with no readable host takes the
  // first domain name found in it, on the scheme's default port.
  void SetSite(std::string_view url);
  Text siteUrl() const;
  Text host() const;
  Text scheme() const;
  int port() const;

  // The pattern of the collectors (the URL pattern setting).
  void SetLinkPattern(Text pattern);

  // Fetches siteUrl and appends the links found (at least 2 bytes each,
  // made absolute against siteUrl where they lead to http(s) URLs), then
  // removes repeats. Returns the count of `links`.
  int CollectHomeLinks(TextArray& links, bool logProgress);
  // The same for one page, at most once per program run: a page collected
  // before empties `links` and returns 0 without a request. Stops between
  // links when the crawl is to stop.
  int CollectPageLinks(std::string_view pageUrl, TextArray& links);

  // Whether one URL is worth pushing: same site, not in pushList, not
  // rejected before, GET status 200, no filtered Content-Type and (with
  // `filterIndexed`) not indexed yet. A URL that got no reply at all is
  // dropped without being remembered as rejected.
  bool CheckUrl(std::string_view url, bool filterIndexed);
  // Keeps the links that are pages of the site and pass CheckUrl, as
  // absolute URLs, logging "过滤URL【i/n】" per entry. With `filter` false it
  // only removes repeats. Returns the count of `links`.
  int FilterList(TextArray& links, bool filter = true);

  // HEAD request; true on status 200. The crawl does not use it.
  bool ProbeUrl(std::string_view url);
  // The part of siteUrl after its last ".", every "/" removed.
  Text GetDomainSuffix() const;

  // The stop test of the crawl loops: the quota test, then the stop flag.
  bool StopRequested();

  // Time-out of every request, all four phases; empty: the defaults.
  void SetRequestTimeout(std::optional<int> milliseconds);

 private:
  struct Site {
    Text siteUrl;
    Text host;
    Text scheme;
    int port = 0;
  };
  Site Snapshot() const;
  bool SameSiteAs(const Site& site, std::string_view url) const;
  std::optional<int> RequestTimeout() const;
  void OpenGet(HttpClient& client, std::string_view url) const;
  // A page's text and the URL its links are read against: the one it
  // was finally served from, after any redirects.
  struct FetchedPage {
    Text text;
    Text url;
  };
  FetchedPage Fetch(std::string_view url);
  void ExtractLinks(const Text& page, std::string_view pageUrl, TextArray& links, bool stopBetweenLinks);
  void Log(std::string_view message);

  AppState& state_;
  WindowPort& window_;
  const Clock& clock_;
  mutable std::mutex mutex_;
  Site site_;
  Text linkPattern_{kDefaultLinkPattern};
  std::optional<int> timeoutMs_;
};

}  // namespace qc
