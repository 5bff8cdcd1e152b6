#include <gtest/gtest.h>

#include "engine/site_url.h"

namespace qc {
namespace {

TEST(SiteUrl, SiteAddressesAreReadSoundly) {
  struct Case {
    const char* address;
    const char* scheme;  // nullptr: not an address
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"https://shop.a.example/", "https", "shop.a.example", 443},
      {"http://shop.a.example", "http", "shop.a.example", 80},
      {"shop.a.example", "http", "shop.a.example", 80},  // no scheme: http
      {"shop.a.example:8080/x", "http", "shop.a.example", 8080},
      {"http://shop.a.example:8080/x", "http", "shop.a.example", 8080},
      {"https://shop.a.example:8443/", "https", "shop.a.example", 8443},  // never "shop.a.example8443"
      {"HTTPS://SHOP.A.EXAMPLE/", "https", "SHOP.A.EXAMPLE", 443},       // scheme in any case
      {"  http://a.example/  ", "http", "a.example", 80},
      {"//a.example/x", "http", "a.example", 80},
      {"ftp://a.example/", nullptr, "", 0},
      {"", nullptr, "", 0},
      {"http://", nullptr, "", 0},
      {"http://a.example:99999/", nullptr, "", 0},
      {"http://a b.example/", nullptr, "", 0},
  };
  for (const Case& c : cases) {
    const auto parts = ParseSiteAddress(c.address);
    ASSERT_EQ(parts.has_value(), c.scheme != nullptr) << c.address;
    if (!parts) continue;
    EXPECT_EQ(parts->scheme, c.scheme) << c.address;
    EXPECT_EQ(parts->host, c.host) << c.address;
    EXPECT_EQ(parts->port, c.port) << c.address;
  }
  // A link is absolute only with its scheme.
  EXPECT_FALSE(ParseAbsoluteUrl("shop.a.example/a.html"));
  EXPECT_TRUE(ParseAbsoluteUrl("HTTP://shop.a.example/a.html"));
}

TEST(SiteUrl, LinksResolveAgainstThePageTheyAreOn) {
  const char* page = "http://a.example/dir/page.html?x=1";
  const std::pair<const char*, const char*> cases[] = {
      {"a.html", "http://a.example/dir/a.html"},
      {"../a.html", "http://a.example/a.html"},
      {"?p=2", "http://a.example/dir/page.html?p=2"},
      {"./x", "http://a.example/dir/x"},
      {"/abs", "http://a.example/abs"},
      {"//b.example/x", "http://b.example/x"},
      {"https://c.example/y#top", "https://c.example/y"},
      {"#top", "http://a.example/dir/page.html?x=1"},
      {"/q?a=1&amp;b=2", "http://a.example/q?a=1&b=2"},
      {"javascript:void(0)", ""},
      {"mailto:me@a.example", ""},
      {"ftp://a.example/f", ""},
      {"/a\x01z", ""},  // control characters
      {"http://a.example:99999/", ""},
      // GBK bytes and escapes come through as written, relative or not.
      {"/\xD6\xD0.html", "http://a.example/\xD6\xD0.html"},
      {"\xD6\xD0/x.html?q=%d6%25", "http://a.example/dir/\xD6\xD0/x.html?q=%d6%25"},
      {"http://a.example/\xD6\xD0.html", "http://a.example/\xD6\xD0.html"},
      {"a b.html", "http://a.example/dir/a%20b.html"},
  };
  for (const auto& [link, expected] : cases) EXPECT_EQ(ResolveLink(page, link), expected) << link;
  // The home page is read against the site address, with or without scheme.
  EXPECT_EQ(ResolveLink("a.example", "b/c.html"), "http://a.example/b/c.html");
  EXPECT_EQ(ResolveLink("http://a.example:8080", "x.html"), "http://a.example:8080/x.html");
  EXPECT_EQ(ResolveLink("not a url", "x.html"), "");
  EXPECT_EQ(ResolveLink("http://a.example/\xD6\xD0/p%20q.html", "../r.html"), "http://a.example/r.html");
  EXPECT_EQ(ResolveLink("http://a.example/\xD6\xD0/p%20q.html", "r.html"), "http://a.example/\xD6\xD0/r.html");
}

TEST(SiteUrl, SameSiteComparesHostAndPort) {
  const SiteUrlParts site = *ParseSiteAddress("https://Shop.A.example/");
  const std::pair<const char*, bool> cases[] = {
      {"https://shop.a.example/x", true},
      {"https://SHOP.A.EXAMPLE:443/x", true},
      {"http://shop.a.example:443/x", true},
      {"http://shop.a.example/x", false},  // port 80
      {"https://shop.a.example:8443/x", false},
      {"https://other.example/?u=shop.a.example", false},  // the host in the query
      {"https://shop.a.example.evil.example/", false},
  };
  for (const auto& [url, same] : cases) {
    const auto parts = ParseAbsoluteUrl(url);
    ASSERT_TRUE(parts) << url;
    EXPECT_EQ(SameSite(*parts, site), same) << url;
  }
}

TEST(SiteUrl, ExcludedSchemesAreLinkPrefixesOnly) {
  const std::pair<const char*, bool> cases[] = {
      {"javascript:void(0)", true},
      {"  JavaScript:go()", true},
      {"tel:123", true},
      {"mailto:shop.a.example@x", true},
      {"https://shop.a.example/hotel.html", false},
      {"/mailto/page.html", false},
      {"/javascript.html", false},
  };
  for (const auto& [link, excluded] : cases) EXPECT_EQ(HasExcludedScheme(link), excluded) << link;
}

}  // namespace
}  // namespace qc
