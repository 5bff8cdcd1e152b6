#include "http/text_trim.h"

namespace qc::detail {
namespace {

constexpr std::string_view kFullWidthSpace = "\xA1\xA1";

}  // namespace

std::string_view TrimTextStart(std::string_view text) {
  for (;;) {
    if (!text.empty() && text.front() == ' ') {
      text.remove_prefix(1);
    } else if (text.substr(0, 2) == kFullWidthSpace) {
      text.remove_prefix(2);
    } else {
      return text;
    }
  }
}

std::string_view TrimText(std::string_view text) {
  text = TrimTextStart(text);
  // Walk the characters so that a trailing A1 A1 is only taken for a space
  // when it starts on a character boundary.
  std::size_t keep = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const bool pair = IsGbkLeadByte(text[i]) && i + 1 < text.size();
    const std::size_t width = pair ? 2 : 1;
    const bool space = text[i] == ' ' || (pair && text.substr(i, 2) == kFullWidthSpace);
    i += width;
    if (!space) keep = i;
  }
  return text.substr(0, keep);
}

char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

Text ToLowerAscii(std::string_view text) {
  Text out(text);
  for (auto& c : out) c = ToLowerAscii(c);
  return out;
}

Text ToUpperAscii(std::string_view text) {
  Text out(text);
  for (auto& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::vector<std::string_view> SplitText(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  if (text.empty()) return pieces;
  // An empty separator would split nowhere and never move on: the text is one piece.
  if (separator.empty()) {
    pieces.push_back(text);
    return pieces;
  }
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(separator, from);
    if (at == std::string_view::npos) {
      if (from < text.size()) pieces.push_back(text.substr(from));
      return pieces;
    }
    pieces.push_back(text.substr(from, at - from));
    from = at + separator.size();
  }
}

std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace qc::detail
