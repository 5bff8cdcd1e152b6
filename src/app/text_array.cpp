#include "app/text_array.h"

#include <unordered_set>

namespace qc {

const Text& TextArray::At(std::size_t index) const {
  static const Text kEmpty;
  if (index < 1 || index > items_.size()) return kEmpty;
  return items_[index - 1];
}

bool TextArray::Contains(std::string_view text) const {
  for (const Text& item : items_) {
    if (item == text) return true;
  }
  return false;
}

int RemoveDuplicates(TextArray& list) {
  std::vector<Text>& items = list.Items();
  // The kept texts are moved into a vector reserved up front, so the views
  // the set holds into them stay valid while it grows.
  std::vector<Text> kept;
  kept.reserve(items.size());
  std::unordered_set<std::string_view> seen;
  seen.reserve(items.size());
  for (Text& item : items) {
    if (seen.contains(item)) continue;
    kept.push_back(std::move(item));
    seen.insert(kept.back());
  }
  items = std::move(kept);
  return static_cast<int>(items.size());
}

TextArray SplitText(std::string_view text, std::string_view separator) {
  TextArray pieces;
  const std::size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.Append(Text(text));
    return pieces;
  }
  // Each search starts on a character boundary (just past a separator), so
  // searching the rest alone keeps the split linear.
  std::string_view rest = text;
  for (;;) {
    const std::size_t hit = FindText(rest, separator);
    if (hit == std::string_view::npos) break;
    pieces.Append(Text(rest.substr(0, hit)));
    rest.remove_prefix(hit + separator.size());
  }
  pieces.Append(Text(rest));
  return pieces;
}

}  // namespace qc
