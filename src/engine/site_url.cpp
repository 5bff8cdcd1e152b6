#include "engine/site_url.h"

#include <curl/curl.h>

#include <memory>

namespace qc {
namespace {

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

struct CurlTextDeleter {
  void operator()(char* text) const { curl_free(text); }
};
using CurlText = std::unique_ptr<char, CurlTextDeleter>;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// "scheme://" at the start, by the syntax of a scheme name.
bool HasSchemePrefix(std::string_view text) {
  if (text.empty() || !((text[0] >= 'a' && text[0] <= 'z') || (text[0] >= 'A' && text[0] <= 'Z'))) return false;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':') return text.substr(i).starts_with("://");
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
                    c == '-' || c == '.';
    if (!ok) return false;
  }
  return false;
}

Text GetPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* raw = nullptr;
  if (curl_url_get(url, part, &raw, flags) != CURLUE_OK) return {};
  CurlText owned(raw);
  return owned ? Text(owned.get()) : Text();
}

// Sets a whole URL; curl wants a zero-terminated string and stops at the
// first zero byte, so a text with one inside is refused outright.
bool SetUrl(CURLU* url, std::string_view text, unsigned flags) {
  if (text.find('\0') != std::string_view::npos) return false;
  const std::string copy(text);
  return curl_url_set(url, CURLUPART_URL, copy.c_str(), flags) == CURLUE_OK;
}

std::optional<SiteUrlParts> PartsOf(CURLU* url) {
  SiteUrlParts parts;
  parts.scheme = GetPart(url, CURLUPART_SCHEME);
  for (char& c : parts.scheme) c = Lower(c);
  if (parts.scheme != "http" && parts.scheme != "https") return std::nullopt;
  parts.host = GetPart(url, CURLUPART_HOST);
  if (parts.host.empty()) return std::nullopt;
  const Text port = GetPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
  parts.port = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return std::nullopt;
    parts.port = parts.port * 10 + (c - '0');
    if (parts.port > 65535) return std::nullopt;
  }
  return parts;
}

std::optional<SiteUrlParts> Parse(std::string_view text) {
  UrlHandle url(curl_url());
  if (!url || !SetUrl(url.get(), text, 0)) return std::nullopt;
  return PartsOf(url.get());
}

// curl percent-encodes the bytes above 0x7F of a relative reference (but
// not of an absolute one), and would turn a GBK link into escapes of its
// GBK bytes; the HTTP layer encodes the text for the wire itself. So those
// bytes, and '%' to keep the escaping reversible, pass through curl escaped
// and are restored afterwards.
Text ShieldFromCurl(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  Text out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '%' || byte >= 0x80) {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Undoes ShieldFromCurl: only the escapes it makes ("%25" and those of
// bytes above 0x7F) are read back; curl's own ("%20") stay.
Text Unshield(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      const int value = high < 0 || low < 0 ? -1 : high * 16 + low;
      if (value == '%' || value >= 0x80) {
        out.push_back(static_cast<char>(value));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

std::optional<SiteUrlParts> ParseSiteAddress(std::string_view address) {
  address = Trim(address);
  if (address.empty()) return std::nullopt;
  if (HasSchemePrefix(address)) return Parse(address);
  // No scheme: the address is host[:port][/path], or "//host/path".
  Text withScheme = address.starts_with("//") ? Text("http:") : Text("http://");
  withScheme.append(address);
  return Parse(withScheme);
}

std::optional<SiteUrlParts> ParseAbsoluteUrl(std::string_view url) {
  url = Trim(url);
  if (!HasSchemePrefix(url)) return std::nullopt;
  return Parse(url);
}

bool SameSite(const SiteUrlParts& a, const SiteUrlParts& b) {
  return a.port == b.port && EqualsIgnoringCase(a.host, b.host);
}

Text ResolveLink(std::string_view base, std::string_view link) {
  Text raw;
  raw.reserve(link.size());
  const std::string_view trimmed = Trim(link);
  for (std::size_t i = 0; i < trimmed.size();) {
    if (trimmed.compare(i, 5, "&amp;") == 0) {
      raw.push_back('&');
      i += 5;
    } else {
      raw.push_back(trimmed[i++]);
    }
  }

  base = Trim(base);
  Text baseText(base);
  if (!HasSchemePrefix(base)) baseText.insert(0, base.starts_with("//") ? "http:" : "http://");
  UrlHandle url(curl_url());
  if (!url || !SetUrl(url.get(), ShieldFromCurl(baseText), 0) || !PartsOf(url.get())) return {};
  // A bare fragment names the base document itself; curl's resolver would
  // drop its last path segment, so it is handled here.
  if (!raw.starts_with('#') && !SetUrl(url.get(), ShieldFromCurl(raw), 0)) return {};
  curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
  if (!PartsOf(url.get())) return {};
  return Unshield(GetPart(url.get(), CURLUPART_URL));
}

bool HasExcludedScheme(std::string_view link) {
  while (!link.empty() && IsSpace(link.front())) link.remove_prefix(1);
  return StartsWithIgnoringCase(link, "javascript:") || StartsWithIgnoringCase(link, "tel:") ||
         StartsWithIgnoringCase(link, "mailto:");
}

}  // namespace qc
