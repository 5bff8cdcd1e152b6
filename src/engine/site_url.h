// Reading site addresses and the links found on pages, over curl's URL API.
#pragma once

#include <optional>
#include <string_view>

#include "http/encoding.h"

namespace qc {

// The parts of an http or https URL that decide whether it belongs to a site.
struct SiteUrlParts {
  Text scheme;    // "http" or "https", lower case
  Text host;      // as written, never with a port
  int port = 0;   // the scheme's default when the URL names none
};

// A site address as a user types it: the scheme is optional (then http) and
// read without regard to case. Empty when it is not an http(s) address with
// a host.
std::optional<SiteUrlParts> ParseSiteAddress(std::string_view address);

// An absolute http(s) URL; no default scheme. Empty for anything else.
std::optional<SiteUrlParts> ParseAbsoluteUrl(std::string_view url);

// Both http(s), the same host ignoring ASCII case, the same port (so
// http://h/ and https://h/ are different sites, as they are different servers).
bool SameSite(const SiteUrlParts& a, const SiteUrlParts& b);

// A link found on the page at `base`, made absolute by the rules of relative
// references: "&amp;" reads as "&", the fragment is dropped. Empty when the
// result is not an http(s) URL (other schemes, control characters, junk).
Text ResolveLink(std::string_view base, std::string_view link);

// Links to scripts, phones and mail: never pages of the site.
bool HasExcludedScheme(std::string_view link);

}  // namespace qc
