#include "engine/site_crawler.h"

#include "app/activity_log.h"
#include "app/app_state.h"
#include "app/ports.h"
#include "engine/indexed_check.h"
#include "engine/quota.h"
#include "engine/site_url.h"
#include "http/http_client.h"
#include "text/regex_matcher.h"

namespace qc {
namespace {

constexpr std::string_view kPageUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/96.0.4664.110 "
    "Safari/537.36 Edg/96.0.1054.62";
constexpr std::string_view kProbeUserAgent =
    "user-agent: Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/78.0.3904.108 Safari/537.36";
constexpr std::string_view kDomainPattern =
    R"([a-zA-Z0-9][-a-zA-Z0-9]{0,62}(\.[a-zA-Z0-9][-a-zA-Z0-9]{0,62})+\.?)";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                           text.front() == '\n')) {
    text.remove_prefix(1);
  }
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && FindText(text.substr(0, prefix.size()), prefix, 0, true) == 0;
}

// The first Content-Type header line (name in any case), the whole line,
// name included. Only the header of that name counts: another whose name
// merely contains it, such as X-Content-Type-Options, often comes first
// and says nothing about the type.
Text ContentTypeLine(std::string_view headers) {
  while (!headers.empty()) {
    const std::size_t end = headers.find("\r\n");
    const std::string_view line = headers.substr(0, end);
    std::string_view name = line.substr(0, line.find(':'));
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    if (name.size() < line.size() && name.size() == 12 && StartsWithIgnoringCase(name, "Content-Type")) {
      return Text(line);
    }
    if (end == std::string_view::npos) break;
    headers.remove_prefix(end + 2);
  }
  return {};
}

}  // namespace

SiteCrawler::SiteCrawler(AppState& state, WindowPort& window, const Clock& clock)
    : state_(state), window_(window), clock_(clock) {}

void SiteCrawler::SetSite(std::string_view url) {
  Site site;
  site.siteUrl = Text(Trim(url));
  if (const auto parts = ParseSiteAddress(site.siteUrl)) {
    site.scheme = parts->scheme;
    site.host = parts->host;
    site.port = parts->port;
  } else {
    // No readable host: the first domain name in the text will do.
    site.scheme = StartsWithIgnoringCase(site.siteUrl, "https:") ? "https" : "http";
    site.port = site.scheme == "https" ? 443 : 80;
    RegexMatcher matcher;
    if (matcher.Create(Text(kDomainPattern), Text(url), false, true, true)) site.host = matcher.GetMatchText(1);
  }
  std::lock_guard lock(mutex_);
  site_ = std::move(site);
}

SiteCrawler::Site SiteCrawler::Snapshot() const {
  std::lock_guard lock(mutex_);
  return site_;
}

Text SiteCrawler::siteUrl() const { return Snapshot().siteUrl; }
Text SiteCrawler::host() const { return Snapshot().host; }
Text SiteCrawler::scheme() const { return Snapshot().scheme; }
int SiteCrawler::port() const { return Snapshot().port; }

void SiteCrawler::SetLinkPattern(Text pattern) {
  std::lock_guard lock(mutex_);
  linkPattern_ = std::move(pattern);
}

void SiteCrawler::SetRequestTimeout(std::optional<int> milliseconds) {
  std::lock_guard lock(mutex_);
  timeoutMs_ = milliseconds;
}

void SiteCrawler::Log(std::string_view message) { AppendLog(window_, clock_, message); }

bool SiteCrawler::StopRequested() {
  ApplyQuotaTest(state_, window_);
  return state_.stopRequested.load() != 0;
}

bool SiteCrawler::SameSiteAs(const Site& site, std::string_view url) const {
  if (site.host.empty()) return false;
  const auto parts = ParseSiteAddress(url);
  return parts && SameSite(*parts, SiteUrlParts{site.scheme, site.host, site.port});
}

std::optional<int> SiteCrawler::RequestTimeout() const {
  std::lock_guard lock(mutex_);
  return timeoutMs_;
}

void SiteCrawler::OpenGet(HttpClient& client, std::string_view url) const {
  if (const auto timeout = RequestTimeout()) client.SetTimeouts(*timeout, *timeout, *timeout, *timeout);
  client.OpenRequest("GET", url);
}

SiteCrawler::FetchedPage SiteCrawler::Fetch(std::string_view url) {
  HttpClient client;
  OpenGet(client, url);
  client.SetUserAgent(kPageUserAgent);
  client.SendText();
  return {client.ResponseText(), client.ResponseUrl()};
}

void SiteCrawler::ExtractLinks(const Text& page, std::string_view pageUrl, TextArray& links, bool stopBetweenLinks) {
  Text pattern;
  {
    std::lock_guard lock(mutex_);
    pattern = linkPattern_;
  }
  RegexMatcher matcher;
  matcher.Create(pattern, page, false, true, true);
  const int count = matcher.GetMatchCount();
  for (int i = 1; i <= count; ++i) {
    if (stopBetweenLinks && StopRequested()) break;
    const Text link = matcher.GetSubMatchText(i, 1);
    if (link.size() < 2) continue;
    // Links are read against the page they were found on; what does not
    // lead to an http(s) URL stays as found, for the filter to drop.
    Text absolute = HasExcludedScheme(link) ? Text() : ResolveLink(pageUrl, link);
    links.Append(absolute.empty() ? link : std::move(absolute));
  }
}

int SiteCrawler::CollectHomeLinks(TextArray& links, bool logProgress) {
  if (logProgress) Log(Utf8ToText("正在获取首页链接。"));
  const Text siteUrl = Snapshot().siteUrl;
  const FetchedPage page = Fetch(siteUrl);
  ExtractLinks(page.text, page.url, links, false);
  RemoveDuplicates(links);
  if (logProgress) Log(Utf8ToText("首页链接获取完成。"));
  return static_cast<int>(links.Count());
}

int SiteCrawler::CollectPageLinks(std::string_view pageUrl, TextArray& links) {
  if (!state_.visitedPages.AppendUnique(pageUrl)) {
    links.Clear();
    return 0;
  }
  const FetchedPage page = Fetch(pageUrl);
  ExtractLinks(page.text, page.url, links, true);
  return RemoveDuplicates(links);
}

bool SiteCrawler::CheckUrl(std::string_view url, bool filterIndexed) {
  const Site site = Snapshot();
  if (!SameSiteAs(site, url)) return false;
  if (state_.pushList.Contains(url)) return false;
  if (state_.rejectedUrls.Contains(url)) return false;

  HttpClient client;
  OpenGet(client, url);
  client.SetUserAgent(kPageUserAgent);
  client.SendText();
  const Text headers = client.AllResponseHeaders();
  const int status = client.StatusCode();

  // No reply at all (no connection, time-out) says nothing about the URL:
  // it is dropped for this pass only.
  if (status == 0) return false;
  if (status != 200) {
    state_.rejectedUrls.AppendUnique(url);
    return false;
  }
  const Text contentType = ContentTypeLine(headers);
  for (const Text& keyword : state_.ContentTypeKeywords()) {
    if (ContainsText(contentType, keyword)) {
      state_.rejectedUrls.AppendUnique(url);
      return false;
    }
  }
  if (filterIndexed && IsIndexed({state_, window_, clock_, RequestTimeout()}, url)) {
    Log("[" + Text(url) + Utf8ToText("]已被收录，自动过滤！"));
    state_.rejectedUrls.AppendUnique(url);
    return false;
  }
  return true;
}

int SiteCrawler::FilterList(TextArray& links, bool filter) {
  RemoveDuplicates(links);
  if (!filter) return static_cast<int>(links.Count());

  const Site site = Snapshot();
  const std::size_t count = links.Count();
  TextArray kept;
  for (std::size_t i = 1; i <= count; ++i) {
    if (StopRequested()) break;
    Log(Utf8ToText("过滤URL【") + std::to_string(i) + "/" + std::to_string(count) + Utf8ToText("】"));
    const Text& entry = links.At(i);
    if (HasExcludedScheme(entry)) continue;
    // The collectors hand over absolute URLs; anything else is read
    // against the site's address.
    const Text url = ParseAbsoluteUrl(entry) ? entry : ResolveLink(site.siteUrl, entry);
    if (url.empty() || !SameSiteAs(site, url)) continue;
    if (!CheckUrl(url, state_.filterIndexed.load())) continue;
    kept.Append(url);
  }
  links = std::move(kept);
  return RemoveDuplicates(links);
}

bool SiteCrawler::ProbeUrl(std::string_view url) {
  HttpClient client;
  if (const auto timeout = RequestTimeout()) client.SetTimeouts(*timeout, *timeout, *timeout, *timeout);
  client.OpenRequest("HEAD", url);
  client.SetUserAgent(kProbeUserAgent);
  client.SendText();
  return client.StatusCode() == 200;
}

Text SiteCrawler::GetDomainSuffix() const {
  const Text siteUrl = Snapshot().siteUrl;
  const std::size_t dot = siteUrl.rfind('.');
  if (dot == Text::npos) return {};
  Text suffix;
  for (char c : std::string_view(siteUrl).substr(dot + 1)) {
    if (c != '/') suffix.push_back(c);
  }
  return suffix;
}

}  // namespace qc
