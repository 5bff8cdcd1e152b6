#include "text/regex_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qc {

struct RegexMatcher::State {
  Text pattern;  // as the caller gave it, quote markers replaced
  Text subject;
  std::u16string units;  // the subject as the engine sees it
  bool accepted = false;
  std::size_t groups = 0;
  // Per match, (groups + 1) pairs of unit offsets [start, end); kUnset for
  // a group that took no part.
  std::vector<std::uint32_t> offsets;
  std::size_t matchCount = 0;

  // Byte offsets where the subject's characters start, built on the first
  // request for a position.
  mutable std::once_flag boundariesOnce;
  mutable std::vector<std::uint32_t> boundaries;

  // Text of a group (0: the whole match) of a match, both 0-based, with
  // the byte position of that text when asked.
  Text Piece(std::size_t match, std::size_t group, int* position) const;

  State() = default;
  State(const State& other)
      : pattern(other.pattern),
        subject(other.subject),
        units(other.units),
        accepted(other.accepted),
        groups(other.groups),
        offsets(other.offsets),
        matchCount(other.matchCount) {}
};

namespace {

constexpr std::uint32_t kUnset = 0xFFFFFFFFu;
// Matches stop being collected once their offsets would take this many
// entries (128 MiB): a pattern that matches empty at every position of a
// huge subject cannot take all memory.
constexpr std::size_t kMaxStoredOffsets = std::size_t{1} << 25;
// A replacement result longer than this many units is given up (empty text).
constexpr std::size_t kMaxReplacedUnits = std::size_t{1} << 26;
// Work limits. One search may take up to kMatchLimit steps of the engine;
// a whole scan gets kScanBudget plus kStepsPerUnit for each subject unit.
// Past either the scan ends with what it found, so many matches that each
// cost nearly a full search cannot add up to hours.
constexpr std::uint32_t kMatchLimit = 10'000'000;
constexpr std::uint64_t kScanBudget = 100'000'000;
constexpr std::uint64_t kStepsPerUnit = 64;
// A search first runs with the smallest limit and is repeated with a
// limit kLimitGrowth times larger whenever it runs out: what a search is
// charged is then at most kLimitGrowth times what it used (most searches
// need under ten steps).
constexpr std::uint32_t kFirstLimit = 64;
constexpr std::uint32_t kLimitGrowth = 16;
constexpr std::uint32_t kDepthLimit = 100'000;
constexpr std::uint32_t kHeapLimitKiB = 64 * 1024;
constexpr PCRE2_SIZE kJitStackStart = 32 * 1024;
constexpr PCRE2_SIZE kJitStackMax = 1024 * 1024;

struct CodeFree {
  void operator()(pcre2_code_16* p) const noexcept { pcre2_code_free_16(p); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data_16* p) const noexcept { pcre2_match_data_free_16(p); }
};
struct MatchContextFree {
  void operator()(pcre2_match_context_16* p) const noexcept { pcre2_match_context_free_16(p); }
};
struct JitStackFree {
  void operator()(pcre2_jit_stack_16* p) const noexcept { pcre2_jit_stack_free_16(p); }
};
using CodeHandle = std::unique_ptr<pcre2_code_16, CodeFree>;
using MatchDataHandle = std::unique_ptr<pcre2_match_data_16, MatchDataFree>;
using MatchContextHandle = std::unique_ptr<pcre2_match_context_16, MatchContextFree>;
using JitStackHandle = std::unique_ptr<pcre2_jit_stack_16, JitStackFree>;

const Text& QuoteMarker() {
  static const Text marker = Utf8ToText("#引号");
  return marker;
}

Text ReplaceQuoteMarkers(const Text& pattern) {
  const Text& marker = QuoteMarker();
  Text out;
  std::size_t pos = 0;
  for (;;) {
    // '#' is never the second byte of a two-byte character, so a plain
    // byte search cannot match across characters.
    const std::size_t hit = pattern.find(marker, pos);
    if (hit == Text::npos) break;
    out.append(pattern, pos, hit - pos);
    out.push_back('"');
    pos = hit + marker.size();
  }
  out.append(pattern, pos);
  return out;
}

// Letters that have a meaning after a backslash in the script dialect; any
// other escaped letter stands for itself there, while PCRE2 would reject it
// or give it another meaning.
bool IsScriptEscapeLetter(char16_t c) {
  switch (c) {
    case u'b': case u'B': case u'c': case u'd': case u'D': case u'f': case u'n': case u'r':
    case u's': case u'S': case u't': case u'u': case u'v': case u'w': case u'W': case u'x':
      return true;
    default: return false;
  }
}

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

void AppendEscape(std::u16string& out, char16_t c) {
  if (c == u'v') {
    out += u"\\x0b";  // PCRE2's \v is a class of vertical spaces
  } else if (IsAsciiLetter(c) && !IsScriptEscapeLetter(c)) {
    out.push_back(c);
  } else {
    out.push_back(u'\\');
    out.push_back(c);
  }
}

// Rewrites the script dialect's line rules into PCRE2 terms: '.' stops at
// "\n" and "\r"; with multiline, '^' and '$' hold next to either of them
// (also between the two of a "\r\n"); without, '$' is the very end only.
std::u16string TranslatePattern(std::u16string_view p, bool multiline) {
  std::u16string out;
  out.reserve(p.size() + 16);
  bool inClass = false;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const char16_t c = p[i];
    if (c == u'\\') {
      if (i + 1 < p.size()) {
        AppendEscape(out, p[++i]);
      } else {
        out.push_back(c);  // a trailing backslash: let the compiler reject it
      }
      continue;
    }
    if (inClass) {
      out.push_back(c);
      if (c == u']') inClass = false;
      continue;
    }
    switch (c) {
      case u'[':
        out.push_back(c);
        inClass = true;
        if (i + 1 < p.size() && p[i + 1] == u'^') out.push_back(p[++i]);
        // "[]" never matches and "[^]" matches anything: the class ends here.
        if (i + 1 < p.size() && p[i + 1] == u']') {
          out.push_back(p[++i]);
          inClass = false;
        }
        break;
      case u'.': out += u"[^\\n\\r]"; break;
      case u'^': out += multiline ? u"(?<![^\\n\\r])" : u"^"; break;
      case u'$': out += multiline ? u"(?![^\\n\\r])" : u"\\z"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

Text UnitsToText(std::u16string_view units) {
  // Links and host names are mostly ASCII: skip the converter for them.
  if (std::all_of(units.begin(), units.end(), [](char16_t u) { return u != 0 && u < 0x80; })) {
    return Text(units.begin(), units.end());
  }
  return Utf16ToTextUnits(units);
}

std::vector<std::uint32_t> CharacterStarts(std::string_view text) {
  std::vector<std::uint32_t> starts;
  starts.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    starts.push_back(static_cast<std::uint32_t>(i));
    const unsigned char b = static_cast<unsigned char>(text[i]);
    i += (b >= 0x81 && b <= 0xFE && i + 1 < text.size()) ? 2 : 1;
  }
  return starts;
}

}  // namespace

// ---------------------------------------------------------------------------

RegexMatcher::RegexMatcher() = default;
RegexMatcher::~RegexMatcher() = default;
RegexMatcher::RegexMatcher(const RegexMatcher&) = default;
RegexMatcher& RegexMatcher::operator=(const RegexMatcher&) = default;
RegexMatcher::RegexMatcher(RegexMatcher&&) noexcept = default;
RegexMatcher& RegexMatcher::operator=(RegexMatcher&&) noexcept = default;

bool RegexMatcher::Create(const Text& pattern, const Text& subject, bool caseSensitive, bool multiline, bool global,
                          bool quoteEscapes) {
  auto state = std::make_shared<State>();
  state->pattern = quoteEscapes ? ReplaceQuoteMarkers(pattern) : pattern;
  state->subject = subject;
  state->units = TextToUtf16(subject);
  state_ = state;
  if (state->units.size() >= kUnset) return false;

  const std::u16string translated = TranslatePattern(TextToUtf16(state->pattern), multiline);
  std::uint32_t options = PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF | PCRE2_NEVER_UTF |
                          PCRE2_NEVER_UCP | PCRE2_DOLLAR_ENDONLY;
  if (!caseSensitive) options |= PCRE2_CASELESS;
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  CodeHandle code(pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(translated.data()), translated.size(), options,
                                   &errorCode, &errorOffset, nullptr));
  if (!code) return false;
  pcre2_jit_compile_16(code.get(), PCRE2_JIT_COMPLETE);  // without JIT the interpreter runs

  std::uint32_t captures = 0;
  pcre2_pattern_info_16(code.get(), PCRE2_INFO_CAPTURECOUNT, &captures);
  state->groups = captures;
  state->accepted = true;

  MatchDataHandle data(pcre2_match_data_create_from_pattern_16(code.get(), nullptr));
  MatchContextHandle context(pcre2_match_context_create_16(nullptr));
  JitStackHandle stack(pcre2_jit_stack_create_16(kJitStackStart, kJitStackMax, nullptr));
  if (!data || !context) return true;  // out of memory: no matches
  pcre2_set_depth_limit_16(context.get(), kDepthLimit);
  pcre2_set_heap_limit_16(context.get(), kHeapLimitKiB);
  if (stack) pcre2_jit_stack_assign_16(context.get(), nullptr, stack.get());

  const auto* units = reinterpret_cast<PCRE2_SPTR16>(state->units.data());
  const std::size_t length = state->units.size();
  const std::size_t pairs = captures + 1;
  std::uint64_t budget = kScanBudget + kStepsPerUnit * (length + 1);
  // One search from `start`, charged to the budget; false when there is no
  // (further) match or the work limits stopped it.
  auto search = [&](std::size_t start) {
    std::uint32_t limit = kFirstLimit;
    for (;;) {
      if (budget == 0) return false;
      if (limit > budget) limit = static_cast<std::uint32_t>(budget);
      pcre2_set_match_limit_16(context.get(), limit);
      const int rc = pcre2_match_16(code.get(), units, length, start, 0, data.get(), context.get());
      budget -= limit;
      if (rc >= 0) return true;
      if (rc != PCRE2_ERROR_MATCHLIMIT || limit >= kMatchLimit) return false;
      limit = std::min(limit * kLimitGrowth, kMatchLimit);
    }
  };
  std::size_t start = 0;
  while (start <= length) {
    if (!search(start)) break;
    if (state->offsets.size() + 2 * pairs > kMaxStoredOffsets) break;
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer_16(data.get());
    for (std::size_t k = 0; k < 2 * pairs; ++k) {
      state->offsets.push_back(ov[k] == PCRE2_UNSET ? kUnset : static_cast<std::uint32_t>(ov[k]));
    }
    ++state->matchCount;
    if (!global) break;
    // After an empty match the scan moves on one unit.
    std::size_t next = ov[1] > ov[0] ? ov[1] : ov[0] + 1;
    if (next <= start) next = start + 1;
    start = next;
  }
  return true;
}

Text RegexMatcher::GetPattern() const { return state_ ? state_->pattern : Text(); }

Text RegexMatcher::ReplaceMatches(const Text& replacement) const {
  if (!state_ || !state_->accepted) return {};
  const State& s = *state_;
  if (s.matchCount == 0) return s.subject;
  const std::u16string rep = TextToUtf16(replacement);
  const std::u16string_view all = s.units;
  const std::size_t pairs = s.groups + 1;
  auto slice = [&](std::uint32_t from, std::uint32_t to) {
    return from == kUnset ? std::u16string_view() : all.substr(from, to - from);
  };

  std::u16string out;
  std::size_t copied = 0;
  for (std::size_t m = 0; m < s.matchCount; ++m) {
    const std::uint32_t* ov = &s.offsets[m * pairs * 2];
    out.append(all.substr(copied, ov[0] - copied));
    for (std::size_t i = 0; i < rep.size(); ++i) {
      const char16_t c = rep[i];
      if (c != u'$' || i + 1 == rep.size()) {
        out.push_back(c);
        continue;
      }
      const char16_t n = rep[i + 1];
      if (n == u'$') {
        out.push_back(u'$');
        ++i;
      } else if (n == u'&') {
        out.append(slice(ov[0], ov[1]));
        ++i;
      } else if (n == u'`') {
        out.append(all.substr(0, ov[0]));
        ++i;
      } else if (n == u'\'') {
        out.append(all.substr(ov[1]));
        ++i;
      } else if (n >= u'0' && n <= u'9') {
        // Two digits when they name a group, else one; "$0" and a group
        // the pattern lacks stay literal.
        const std::size_t one = n - u'0';
        const bool hasSecond = i + 2 < rep.size() && rep[i + 2] >= u'0' && rep[i + 2] <= u'9';
        const std::size_t two = hasSecond ? one * 10 + (rep[i + 2] - u'0') : 0;
        if (hasSecond && two >= 1 && two <= s.groups) {
          out.append(slice(ov[2 * two], ov[2 * two + 1]));
          i += 2;
        } else if (one >= 1 && one <= s.groups) {
          out.append(slice(ov[2 * one], ov[2 * one + 1]));
          i += 1;
        } else {
          out.push_back(c);
        }
      } else {
        out.push_back(c);
      }
      if (out.size() > kMaxReplacedUnits) return {};
    }
    if (out.size() > kMaxReplacedUnits) return {};
    copied = std::max<std::size_t>(copied, ov[1]);
  }
  out.append(all.substr(std::min(copied, all.size())));
  return UnitsToText(out);
}

int RegexMatcher::GetMatchCount() const { return state_ ? static_cast<int>(state_->matchCount) : 0; }

int RegexMatcher::GetSubMatchCount() const {
  return state_ && state_->matchCount > 0 ? static_cast<int>(state_->groups) : 0;
}

namespace {

// The Part's offset rule is carried out on the GBK subject: find `what` at
// a character boundary at or after byte (firstIndex - 1), where firstIndex
// is the match's 0-based character index; -2 when it is not there.
int FindFrom(const Text& subject, const std::vector<std::uint32_t>& starts, std::size_t firstIndex,
             const Text& what) {
  const std::size_t from = firstIndex > 0 ? firstIndex - 1 : 0;
  if (from > subject.size()) return -2;
  // Begin the boundary walk at the last character start not past `from`,
  // so long subjects are not walked from their beginning every time.
  auto it = std::upper_bound(starts.begin(), starts.end(), static_cast<std::uint32_t>(from));
  const std::size_t base = it == starts.begin() ? 0 : *(it - 1);
  const std::size_t hit = FindText(std::string_view(subject).substr(base), what, from - base);
  return hit == std::string_view::npos ? -2 : static_cast<int>(base + hit);
}

}  // namespace

Text RegexMatcher::GetMatchText(int index, int* position) const {
  if (position) *position = -2;
  if (!state_ || index < 1 || static_cast<std::size_t>(index) > state_->matchCount) return {};
  return state_->Piece(static_cast<std::size_t>(index) - 1, 0, position);
}

Text RegexMatcher::GetSubMatchText(int matchIndex, int group, int* position) const {
  if (position) *position = -2;
  if (!state_ || matchIndex < 1 || static_cast<std::size_t>(matchIndex) > state_->matchCount || group < 1 ||
      static_cast<std::size_t>(group) > state_->groups) {
    return {};
  }
  return state_->Piece(static_cast<std::size_t>(matchIndex) - 1, static_cast<std::size_t>(group), position);
}

Text RegexMatcher::State::Piece(std::size_t match, std::size_t group, int* position) const {
  const std::uint32_t* ov = &offsets[match * (groups + 1) * 2];
  if (ov[2 * group] == kUnset) return {};
  Text text = UnitsToText(std::u16string_view(units).substr(ov[2 * group], ov[2 * group + 1] - ov[2 * group]));
  if (position) {
    std::call_once(boundariesOnce, [this] { boundaries = CharacterStarts(subject); });
    *position = FindFrom(subject, boundaries, ov[0], text);
  }
  return text;
}

}  // namespace qc
