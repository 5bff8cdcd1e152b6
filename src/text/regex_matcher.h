// RegexMatcher: one regular expression run over one subject text, with the
// matches and their capture groups handed out by 1-based index.
//
// The pattern dialect is the script one: character classes, groups,
// alternation, bounded repetition, \s as [ \f\n\r\t\v], \uhhhh, lines
// ending at "\n" or "\r"; $ means the very end unless `multiline` is set.
// Texts are GBK; the engine works on UTF-16 units, so a match's character
// index counts characters, not bytes.
//
// A pattern that would take too long on a subject stops with the matches
// found so far. Nothing here throws; a rejected pattern gives false, 0 and
// empty texts. Copies are independent snapshots of the last Create.
#pragma once

#include <memory>
#include <string>

#include "http/encoding.h"

namespace qc {

class RegexMatcher {
 public:
  RegexMatcher();
  ~RegexMatcher();
  RegexMatcher(const RegexMatcher&);
  RegexMatcher& operator=(const RegexMatcher&);
  RegexMatcher(RegexMatcher&&) noexcept;
  RegexMatcher& operator=(RegexMatcher&&) noexcept;

  // Compiles `pattern` and collects its matches over `subject` at once.
  // With `quoteEscapes`, every "#引号" in the pattern stands for a double
  // quote. `global` false keeps the first match only. True when the pattern
  // was accepted (also when nothing matched).
  bool Create(const Text& pattern, const Text& subject, bool caseSensitive = false, bool multiline = true,
              bool global = true, bool quoteEscapes = false);

  // The pattern of the last Create (quote markers replaced); empty before.
  Text GetPattern() const;
  // The subject with the first match (every match when global) replaced.
  // The replacement may use $1-$99, $&, $`, $' and $$.
  Text ReplaceMatches(const Text& replacement) const;

  int GetMatchCount() const;
  // Match `index` (1-based); empty when there is no such match. When
  // `position` is given it receives the byte offset of the match text in the
  // subject, searched from the match's character index (-2 if not found).
  Text GetMatchText(int index, int* position = nullptr) const;
  // Group `group` (1-based) of match `matchIndex`; empty when the group did
  // not take part. `position`: the first occurrence of the group's text at
  // or after the start of its match, as for GetMatchText.
  Text GetSubMatchText(int matchIndex, int group, int* position = nullptr) const;
  // The number of capture groups, or 0 when nothing matched.
  int GetSubMatchCount() const;

 private:
  struct State;
  std::shared_ptr<const State> state_;
};

}  // namespace qc
