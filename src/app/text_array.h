// TextArray: the program's ordered list of texts, counted from 1.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "http/encoding.h"

namespace qc {

class TextArray {
 public:
  TextArray() = default;
  TextArray(std::initializer_list<Text> items) : items_(items) {}
  explicit TextArray(std::vector<Text> items) : items_(std::move(items)) {}

  std::size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }

  // Element `index`, counted from 1 to Count(). Outside that range: the
  // empty text (never undefined behaviour).
  const Text& At(std::size_t index) const;

  // Appending stores a copy (or takes a moved-in text).
  void Append(Text text) { items_.push_back(std::move(text)); }
  void Append(const TextArray& other) { items_.insert(items_.end(), other.items_.begin(), other.items_.end()); }
  void Clear() { items_.clear(); }

  // Exact, case-sensitive comparison with every element.
  bool Contains(std::string_view text) const;

  const std::vector<Text>& Items() const { return items_; }
  std::vector<Text>& Items() { return items_; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  friend bool operator==(const TextArray&, const TextArray&) = default;

 private:
  std::vector<Text> items_;
};

// Removes repeated elements in place, keeping the first occurrence of each in
// its order (exact, case-sensitive). Returns the count afterwards.
int RemoveDuplicates(TextArray& list);

// Splits `text` at every occurrence of `separator` (one character: one byte,
// or a two-byte GBK character). Empty pieces are kept ("a,,b" gives three);
// the empty text gives an empty array. The empty separator gives the whole
// text as the only element.
TextArray SplitText(std::string_view text, std::string_view separator);

}  // namespace qc
