// Cookies as text: cookie texts ("a=1; b=2"), the jar text of a client in
// cookie mode 1 ("; a=1; b=2; ") and the scan of "Set-Cookie" response lines.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "http/encoding.h"

namespace qc {

// Merges `newText` into `oldText`: the new entries first, then the old ones
// whose names are not among them; "=deleted" entries are dropped and
// repeats removed. Trims both variables in place; the result is also
// written back into `oldText`.
Text MergeCookieText(Text& oldText, Text& newText);

// The items of `text` (pieces between separators when `bySeparator`, else
// characters) without repeats, first occurrences kept, joined by `separator`.
Text RemoveRepeatedItems(std::string_view text, std::string_view separator, bool bySeparator);

// 1-based index of the first element equal to `text`, or -1.
int IndexOfText(std::span<const Text> array, std::string_view text);

// The entries of the response's Set-Cookie lines, each "name=value;" with
// its attributes left off. A line without attributes ends at its own line
// end (a ";" is added). After the first match the search for the next one
// ignores case only when `ignoreCase` is true.
std::vector<Text> SetCookieEntries(std::string_view responseHeaders, bool ignoreCase);
// True for an entry ending in "=deleted;" (also "=DELETED;", "=Deleted;").
bool IsDeletedCookieEntry(std::string_view entry);

// The response's cookies as "name=value" pairs joined by "; " (no
// attributes, deleted entries left out).
Text ResponseCookiesText(std::string_view responseHeaders);
// The value of the cookie `name` set by the response; empty when not set.
Text ResponseCookieValue(std::string_view responseHeaders, std::string_view name);

// Jar text operations. The empty jar is "; ".
inline constexpr std::string_view kEmptyJar = "; ";

// Takes the response's Set-Cookie entries into the jar: new names are
// appended, known ones replaced, deleted ones removed. With
// `skipBlankCookies`, a blank value leaves the old entry alone.
// True when the jar changed.
bool CollectCookiesIntoJar(Text& jar, std::string_view responseHeaders, bool skipBlankCookies);
// Appends or replaces each "name=value" piece of `cookies`; true when any did.
bool MergeCookiesIntoJar(Text& jar, std::string_view cookies);
// Removes the entries named in `names` ("a; b" or "a=1; b"); true when any went.
bool DeleteCookiesFromJar(Text& jar, std::string_view names);
// The jar as a cookie text: without its first two and last two characters.
Text JarCookieText(std::string_view jar);
// `cookies` written as a jar.
Text CookieTextToJar(std::string_view cookies);
// The value of `name` in the jar (or "name=value" with `withName`).
Text JarCookieValue(std::string_view jar, std::string_view name, bool withName);

}  // namespace qc
