// Text encodings and text searches shared by the whole program.
//
// A Text is a byte string in code page 936 (GBK). It ends at its first zero
// byte: functions that produce a Text never put a zero byte inside it.
// Bytes is a byte string that carries its own length and may hold zeros.
// Both are std::string so that they move cheaply between layers; the two
// names tell the reader which one a value is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qc {

using Text = std::string;
using Bytes = std::string;

// Windows code page numbers, as the rest of the program names them. Any
// other number n means iconv's "CPn"; a code page iconv does not know
// converts to the empty result.
inline constexpr int kCodePageAnsi = 0;  // the system's ANSI code page (the locale's charset here)
inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageUtf8 = 65001;

// The charset that stands for the system's ANSI code page: the codeset
// named by the user's locale (LC_ALL, else LC_CTYPE, else LANG, as in
// "zh_CN.GBK"), or UTF-8 when the locale names none ("C", "POSIX", unset,
// a bare language) or one iconv does not know. A GB2312 codeset means GBK.
std::string SystemAnsiCharset();
// Replaces the locale's answer for the whole process (tests, a command-line
// choice); the empty name goes back to the locale.
void SetSystemAnsiCharset(std::string_view charset);

// UTF-8 bytes to a GBK text. Reads up to the first zero byte; malformed
// input is replaced, never reported; a character GBK lacks becomes '?'.
Text DecodeBytesToText(std::string_view utf8);

// Multi-byte string in `codePage` (read up to its first zero byte) to
// UTF-16LE bytes followed by one zero unit; empty input gives empty bytes.
Bytes BytesToUtf16(std::string_view bytes, int codePage);

// UTF-16LE bytes (read up to the first zero unit) to a text in `codePage`
// when `useCodePage`, else in the system's ANSI code page. An odd last byte
// is read as a unit with a zero high byte; a lone surrogate becomes '?'.
Text Utf16ToText(std::string_view utf16le, int codePage = kCodePageGbk, bool useCodePage = true);

// Text arguments below end at their first zero byte, as a Text does.

// Letters and digits kept, space as "+", every other byte as "%XX".
Text UrlEncode(std::string_view text);
// "+" to space, "%XX" to its byte; a "%" not followed by two hex digits
// stays literal. The result ends at a decoded zero byte.
Text UrlDecode(std::string_view text);
// RFC 4648 Base64 of all the bytes (zeros included), no line breaks.
Text Base64Encode(std::string_view bytes);

// 1-based `start` (0 counts as 1). Everything left of the first separator
// found at or after `start`; empty when not found.
Text TextBefore(std::string_view text, std::string_view separator, int start = 1, bool ignoreCase = false);
// What lies between `before` (found at or after `start`) and the next
// `after`. "#引号" in either marker stands for a double quote.
Text TextBetween(std::string_view text, std::string_view before, std::string_view after, int start = 1,
                 bool ignoreCase = false);

// The one substring search of the program. Looks for `what` in `text`
// starting at the 0-based byte offset `from`, stepping over two-byte GBK
// characters as units so a match only begins at a character boundary;
// `ignoreCase` folds ASCII letters only. The empty `what` is found (at
// `from`) in any non-empty text and never in the empty text.
// Returns the 0-based offset of the match, or std::string_view::npos.
std::size_t FindText(std::string_view text, std::string_view what, std::size_t from = 0, bool ignoreCase = false);
inline bool ContainsText(std::string_view text, std::string_view what, bool ignoreCase = false) {
  return FindText(text, what, 0, ignoreCase) != std::string_view::npos;
}

// Conversions for the edges: files and the window speak GBK, the wire and
// the terminal UTF-8, the regex engine UTF-16. Input is read whole (zeros
// included are dropped from the Text result); malformed input is replaced.
Text Utf8ToText(std::string_view utf8);
// Appends the UTF-8 form of one code point (at most 0x10FFFF, no surrogate).
void AppendUtf8(std::string& out, char32_t cp);
std::string TextToUtf8(std::string_view text);
std::u16string TextToUtf16(std::string_view text);
Text Utf16ToTextUnits(std::u16string_view units);
// Body bytes labelled with `charset` (a Content-Type charset name, any
// case) to a Text. Empty or unknown charset: UTF-8. GB2312 is read as GBK.
Text CharsetToText(std::string_view bytes, std::string_view charset);

}  // namespace qc
