// Small text helpers of the HTTP layer (not part of its public face).
#pragma once

#include <string_view>
#include <vector>

#include "http/encoding.h"

namespace qc::detail {

inline bool IsGbkLeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}

// Trimming removes ASCII spaces and GBK full-width spaces (A1 A1) only;
// tabs and line breaks stay.
std::string_view TrimTextStart(std::string_view text);
std::string_view TrimText(std::string_view text);

char ToLowerAscii(char c);
Text ToLowerAscii(std::string_view text);
Text ToUpperAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);

// Splits at every `separator`; an empty text gives no pieces and an empty
// last piece is dropped, empty inner pieces stay. An empty separator gives
// the whole text as one piece.
std::vector<std::string_view> SplitText(std::string_view text, std::string_view separator);

// The part of `text` before its first zero byte.
std::string_view UpToZero(std::string_view text);

}  // namespace qc::detail
