#include "http/cookie_text.h"

#include <algorithm>

#include "http/text_trim.h"

namespace qc {
namespace {

using detail::SplitText;
using detail::TrimText;
using detail::TrimTextStart;

constexpr std::string_view kSetCookie = "Set-Cookie:";
// A jar only grows from responses and callers; past this size new entries
// are not taken, so a hostile server cannot make it grow without end.
constexpr std::size_t kMaxJarBytes = 1024 * 1024;

// The name of a cookie entry: before its first "=", trimmed.
std::string_view CookieName(std::string_view entry) { return TrimText(entry.substr(0, entry.find('='))); }

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Offset of `what` in `text` from `from`, byte-exact but stepping over
// two-byte characters; npos when absent or when `what` is empty.
std::size_t Find(std::string_view text, std::string_view what, std::size_t from = 0) {
  if (what.empty()) return std::string_view::npos;
  return FindText(text, what, from, false);
}

// The end of the old entry that starts behind `key` at `keyAt`: the next
// "; " after the key (the jar's end when the jar is malformed).
std::size_t OldEntryEnd(std::string_view jar, std::size_t keyAt, std::size_t keySize) {
  const std::size_t end = jar.find("; ", keyAt + keySize);
  return end == std::string_view::npos ? jar.size() : end;
}

}  // namespace

Text RemoveRepeatedItems(std::string_view text, std::string_view separator, bool bySeparator) {
  std::vector<std::string_view> items;
  if (bySeparator) {
    items = SplitText(text, separator);
  } else {
    for (std::size_t i = 0; i < text.size();) {
      std::size_t width = 1;
      if (text.substr(i, 2) == "\r\n" || (detail::IsGbkLeadByte(text[i]) && i + 1 < text.size())) width = 2;
      items.push_back(text.substr(i, width));
      i += width;
    }
  }
  std::vector<std::string_view> kept;
  for (auto item : items) {
    if (std::find(kept.begin(), kept.end(), item) == kept.end()) kept.push_back(item);
  }
  Text out;
  for (auto item : kept) {
    out += item;
    out += separator;
  }
  if (!kept.empty()) out.resize(out.size() - separator.size());
  return out;
}

Text MergeCookieText(Text& oldText, Text& newText) {
  for (Text* side : {&oldText, &newText}) {
    *side = Text(TrimText(*side));
    if (!side->empty() && side->back() == ';') *side += ' ';
  }
  std::vector<std::string_view> merged = SplitText(newText, "; ");
  for (auto entry : SplitText(oldText, "; ")) {
    const auto name = CookieName(entry);
    const bool known = std::any_of(merged.begin(), merged.end(), [&](std::string_view e) { return CookieName(e) == name; });
    if (!known) merged.push_back(entry);
  }
  Text joined;
  for (auto entry : merged) {
    if (EndsWith(entry, "=deleted")) continue;
    joined += entry;
    joined += "; ";
  }
  if (joined.size() >= 2) joined.resize(joined.size() - 2);
  oldText = RemoveRepeatedItems(joined, "; ", true);
  return oldText;
}

int IndexOfText(std::span<const Text> array, std::string_view text) {
  for (std::size_t i = 0; i < array.size(); ++i) {
    if (array[i] == text) return static_cast<int>(i + 1);
  }
  return -1;
}

std::vector<Text> SetCookieEntries(std::string_view headers, bool ignoreCase) {
  std::vector<Text> entries;
  std::size_t at = FindText(headers, kSetCookie, 0, true);
  while (at != std::string_view::npos) {
    const std::size_t start = at + kSetCookie.size();
    const std::size_t semicolon = headers.find(';', start);
    const std::size_t lineEnd = headers.find("\r\n", start);
    // An attribute-less cookie ends at its own line, not at a ";" of a
    // later line.
    if (semicolon != std::string_view::npos && (lineEnd == std::string_view::npos || semicolon < lineEnd)) {
      entries.emplace_back(TrimTextStart(headers.substr(start, semicolon + 1 - start)));
      at = FindText(headers, kSetCookie, semicolon + 1, ignoreCase);
    } else {
      const std::size_t end = lineEnd == std::string_view::npos ? headers.size() : lineEnd;
      entries.emplace_back(Text(TrimText(headers.substr(start, end - start))) + ";");
      if (lineEnd == std::string_view::npos) break;
      at = FindText(headers, kSetCookie, lineEnd, ignoreCase);
    }
  }
  return entries;
}

bool IsDeletedCookieEntry(std::string_view entry) {
  return EndsWith(entry, "=deleted;") || EndsWith(entry, "=DELETED;") || EndsWith(entry, "=Deleted;");
}

Text ResponseCookiesText(std::string_view headers) {
  if (headers.empty()) return {};
  Text out;
  for (const auto& entry : SetCookieEntries(headers, true)) {
    if (IsDeletedCookieEntry(entry)) continue;
    out += entry;
    out += ' ';
  }
  if (!out.empty()) out.resize(out.size() - 2);
  return out;
}

Text ResponseCookieValue(std::string_view headers, std::string_view name) {
  if (headers.empty()) return {};
  const Text marker = "Set-Cookie: " + Text(name) + "=";
  const std::size_t at = FindText(headers, marker, 0, true);
  if (at == std::string_view::npos) return {};
  const std::size_t start = at + marker.size();
  // The value ends at its ";" or, for a cookie without attributes, at the
  // end of its line.
  const std::size_t end = std::min(headers.find(';', start), headers.find("\r\n", start));
  return Text(headers.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

bool CollectCookiesIntoJar(Text& jar, std::string_view headers, bool skipBlankCookies) {
  bool changed = false;
  for (const auto& entry : SetCookieEntries(headers, false)) {
    const std::size_t equals = entry.find('=');
    if (equals == Text::npos) continue;
    const bool deleted = IsDeletedCookieEntry(entry);
    const auto value = std::string_view(entry).substr(equals + 1, entry.size() - equals - 2);
    // A blank value keeps the old entry when the caller asked to skip blanks.
    if (skipBlankCookies && !deleted && TrimTextStart(value).empty()) continue;
    const Text key = "; " + entry.substr(0, equals + 1);
    const std::size_t keyAt = Find(jar, key);
    if (keyAt == std::string_view::npos) {
      if (deleted || jar.size() + entry.size() + 1 > kMaxJarBytes) continue;
      jar += entry;
      jar += ' ';
      changed = true;
      continue;
    }
    const std::size_t oldEnd = OldEntryEnd(jar, keyAt, key.size());
    if (deleted) {
      jar.erase(keyAt, oldEnd - keyAt);
    } else {
      // The old entry with its ";" gives way to the new one, which ends in ";".
      const std::size_t nameAt = keyAt + 2;
      const std::size_t oldWithSemicolon = std::min(oldEnd + 1, jar.size()) - nameAt;
      jar.replace(nameAt, oldWithSemicolon, entry);
    }
    changed = true;
  }
  return changed;
}

bool MergeCookiesIntoJar(Text& jar, std::string_view cookies) {
  if (cookies.empty()) return false;
  bool changed = false;
  for (auto piece : SplitText(cookies, ";")) {
    piece = TrimTextStart(piece);
    const std::size_t equals = piece.find('=');
    if (equals == std::string_view::npos) continue;
    const Text key = "; " + Text(piece.substr(0, equals + 1));
    const std::size_t keyAt = Find(jar, key);
    if (keyAt == std::string_view::npos) {
      if (jar.size() + piece.size() + 2 > kMaxJarBytes) continue;
      jar += piece;
      jar += "; ";
    } else {
      const std::size_t nameAt = keyAt + 2;
      jar.replace(nameAt, OldEntryEnd(jar, keyAt, key.size()) - nameAt, piece);
    }
    changed = true;
  }
  return changed;
}

bool DeleteCookiesFromJar(Text& jar, std::string_view names) {
  if (names.empty()) return false;
  bool changed = false;
  for (auto piece : SplitText(names, ";")) {
    piece = TrimTextStart(piece);
    const auto name = piece.substr(0, piece.find('='));
    if (name.empty()) continue;
    const Text key = "; " + Text(name) + "=";
    const std::size_t keyAt = Find(jar, key);
    if (keyAt == std::string_view::npos) continue;
    jar.erase(keyAt, OldEntryEnd(jar, keyAt, key.size()) - keyAt);
    changed = true;
  }
  return changed;
}

Text JarCookieText(std::string_view jar) {
  if (jar.size() < 4) return {};
  return Text(jar.substr(2, jar.size() - 4));
}

Text CookieTextToJar(std::string_view cookies) {
  Text jar(cookies);
  if (jar.compare(0, 2, "; ") != 0) jar.insert(0, "; ");
  if (!EndsWith(jar, "; ")) {
    const char last = jar.back();
    if (last != ';') jar += ';';
    if (last != ' ') jar += ' ';
  }
  return jar;
}

Text JarCookieValue(std::string_view jar, std::string_view name, bool withName) {
  if (name.empty()) return {};
  const Text key = "; " + Text(name) + "=";
  const std::size_t keyAt = Find(jar, key);
  if (keyAt == std::string_view::npos) return {};
  const std::size_t semicolon = jar.find(';', keyAt + key.size());
  if (semicolon == std::string_view::npos) return {};
  const std::size_t from = withName ? keyAt + 2 : keyAt + key.size();
  return Text(jar.substr(from, semicolon - from));
}

}  // namespace qc
