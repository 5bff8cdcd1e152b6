#include "text/json_document.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "text/json_text.h"

namespace qc {

namespace jt = json_text;
using jt::Json;

// The value a document holds. nullopt is "no value at all", what an empty
// text parses to; a JSON null is a value of its own.
struct JsonDocument::State {
  std::optional<Json> root;

  // The value holder of a document; null for a moved-from one.
  static std::optional<Json>* RootOf(const std::shared_ptr<State>& state) {
    return state ? &state->root : nullptr;
  }
};

namespace {

constexpr char kVariableName[] = "da";
// An element written far past an array's end pads with nulls; this bounds
// how many, so one index cannot take all memory.
constexpr std::size_t kMaxPadding = std::size_t{1} << 20;
// Error texts in ScriptError are cut to this many bytes: a parser message
// may quote a whole unterminated 10 MB string.
constexpr std::size_t kMaxErrorText = 200;
// ScriptError::number when a text nests too deep to read.
constexpr int kTooDeepError = 1;

std::string_view CutAtZero(std::string_view s) {
  const void* zero = std::memchr(s.data(), 0, s.size());
  return zero == nullptr ? s : s.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - s.data()));
}

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// GBK in, UTF-8 out; ASCII (most replies) is the same in both.
std::string ToUtf8(const Text& text) {
  const std::string_view t = CutAtZero(text);
  return IsAscii(t) ? std::string(t) : TextToUtf8(t);
}

Text FromUtf8(std::string_view utf8) {
  if (IsAscii(utf8) && std::memchr(utf8.data(), 0, utf8.size()) == nullptr) return Text(utf8);
  return Utf8ToText(utf8);
}

bool IsBlank(std::string_view s) {
  for (char c : s) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') return false;
  }
  return true;
}

// Cuts UTF-8 to at most `limit` bytes without splitting a character.
std::string CutUtf8(std::string_view s, std::size_t limit) {
  if (s.size() <= limit) return std::string(s);
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
  return std::string(s.substr(0, end));
}

void FillError(std::string_view utf8, std::size_t offset, int number, std::string_view description,
               ScriptError& error) {
  offset = std::min(offset, utf8.size());
  const std::size_t lineStart = [&] {
    const std::size_t nl = utf8.substr(0, offset).rfind('\n');
    return nl == std::string_view::npos ? 0 : nl + 1;
  }();
  int line = 1;
  for (std::size_t i = 0; i < lineStart; ++i) line += utf8[i] == '\n' ? 1 : 0;
  int column = 1;
  for (std::size_t i = lineStart; i < offset; ++i) {
    column += (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 ? 1 : 0;
  }
  std::size_t lineEnd = utf8.find('\n', lineStart);
  if (lineEnd == std::string_view::npos) lineEnd = utf8.size();

  error = ScriptError{};
  error.number = number;
  error.source = "JSON";
  error.description = FromUtf8(CutUtf8(description, kMaxErrorText));
  error.text = FromUtf8(CutUtf8(utf8.substr(lineStart, lineEnd - lineStart), kMaxErrorText));
  error.line = line;
  error.column = column;
}

enum class ReadResult { Value, Blank, Invalid };

// Reads a JSON text. `error`, when given, is filled on Invalid.
ReadResult ReadJson(std::string_view utf8, Json& out, ScriptError* error) {
  if (IsBlank(utf8)) return ReadResult::Blank;
  if (jt::TextDepth(utf8, jt::kMaxDepth) > jt::kMaxDepth) {
    if (error) FillError(utf8, 0, kTooDeepError, "nesting deeper than 512 levels", *error);
    return ReadResult::Invalid;
  }
  try {
    out = Json::parse(utf8.begin(), utf8.end());
    return ReadResult::Value;
  } catch (const Json::parse_error& e) {
    if (error) {
      // The message reads "[json.exception...] parse error at line L, column C: what";
      // keep the "what", the position goes into its own fields.
      std::string_view what = e.what();
      const std::size_t column = what.find(", column ");
      const std::size_t colon = what.find(": ", column == std::string_view::npos ? 0 : column);
      if (colon != std::string_view::npos) what.remove_prefix(colon + 2);
      FillError(utf8, e.byte > 0 ? e.byte - 1 : 0, e.id, what, *error);
    }
  } catch (const Json::exception& e) {
    // A number too large for a double: the parser names the token but not
    // where it is.
    if (error) {
      std::string_view what = e.what();
      if (const std::size_t end = what.find("] "); end != std::string_view::npos) what.remove_prefix(end + 2);
      FillError(utf8, 0, e.id, what, *error);
    }
  } catch (const std::exception&) {
    if (error) FillError(utf8, 0, -1, "the text could not be read", *error);
  }
  return ReadResult::Invalid;
}

// A JSON value given to a write; nullopt when it is not one.
std::optional<Json> ReadValue(const Text& text) {
  Json value;
  if (ReadJson(ToUtf8(text), value, nullptr) != ReadResult::Value) return std::nullopt;
  return value;
}

// What reading a path gives, as a script would see it: an error (a member
// of null or of nothing), nothing (a missing member), a node of the tree,
// or a computed value (a length, a character of a string).
struct Found {
  enum class Kind { Error, Undefined, Node, Computed };
  Kind kind = Kind::Error;
  Json* node = nullptr;
  Json computed;

  const Json* value() const { return kind == Kind::Node ? node : kind == Kind::Computed ? &computed : nullptr; }
  bool isError() const { return kind == Kind::Error; }
  // Present and not null: what "!= null" tests.
  bool present() const { return value() != nullptr && !value()->is_null(); }
};

Found Member(Json& parent, const std::string& key) {
  Found f;
  f.kind = Found::Kind::Undefined;
  if (parent.is_object()) {
    auto it = parent.find(key);
    if (it != parent.end()) {
      f.kind = Found::Kind::Node;
      f.node = &*it;
    }
  } else if (parent.is_array()) {
    if (auto index = jt::ArrayIndex(key); index && *index < parent.size()) {
      f.kind = Found::Kind::Node;
      f.node = &parent[*index];
    } else if (key == "length") {
      f.kind = Found::Kind::Computed;
      f.computed = parent.size();
    }
  } else if (parent.is_string()) {
    const auto& s = parent.get_ref<const std::string&>();
    if (key == "length") {
      f.kind = Found::Kind::Computed;
      f.computed = jt::Utf16Length(s);
    } else if (auto index = jt::ArrayIndex(key)) {
      if (auto unit = jt::Utf16UnitAt(s, *index)) {
        f.kind = Found::Kind::Computed;
        f.computed = std::move(*unit);
      }
    }
  }
  return f;
}

// Reads the first `count` steps of a path from the root.
Found Walk(std::optional<Json>& root, const std::vector<std::string>& steps, std::size_t count) {
  Found f;
  if (root) {
    f.kind = Found::Kind::Node;
    f.node = &*root;
  } else {
    f.kind = Found::Kind::Undefined;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!f.present()) return Found{};  // a member of null or of nothing
    Found next = Member(f.kind == Found::Kind::Node ? *f.node : f.computed, steps[i]);
    f = std::move(next);
  }
  return f;
}

// Where a write goes: the parent container and the key in it.
struct Slot {
  enum class Kind { Invalid, Root, Member, Ignored };
  Kind kind = Kind::Invalid;
  Json* parent = nullptr;
  const std::string* key = nullptr;
};

Slot SlotFor(std::optional<Json>& root, const std::vector<std::string>& steps) {
  if (steps.empty()) return {Slot::Kind::Root, nullptr, nullptr};
  Found parent = Walk(root, steps, steps.size() - 1);
  if (!parent.present()) return {};
  if (parent.kind != Found::Kind::Node || !parent.node->is_structured()) {
    // Members of a string, number or boolean cannot be set.
    return {Slot::Kind::Ignored, nullptr, nullptr};
  }
  return {Slot::Kind::Member, parent.node, &steps.back()};
}

// Stores `value` (nullopt: no value, which removes the member) at the path.
bool Store(std::optional<Json>& root, const std::vector<std::string>& steps, std::optional<Json> value) {
  const int depth = value ? jt::Depth(*value) : 0;
  if (static_cast<int>(steps.size()) + depth > jt::kMaxDepth) return false;
  const Slot slot = SlotFor(root, steps);
  switch (slot.kind) {
    case Slot::Kind::Invalid:
    case Slot::Kind::Ignored: return false;
    case Slot::Kind::Root: root = std::move(value); return true;
    case Slot::Kind::Member: break;
  }
  Json& parent = *slot.parent;
  const std::string& key = *slot.key;
  if (parent.is_object()) {
    if (value) {
      parent[key] = std::move(*value);
    } else {
      parent.erase(key);
    }
    return true;
  }
  // An array takes elements only; other keys would not survive as JSON.
  const auto index = jt::ArrayIndex(key);
  if (!index) return false;
  if (*index >= parent.size()) {
    if (*index - parent.size() > kMaxPadding) return false;
    while (parent.size() < *index) parent.push_back(nullptr);
    parent.push_back(value ? std::move(*value) : Json());
    return true;
  }
  parent[*index] = value ? std::move(*value) : Json();
  return true;
}

// Merges `source` into `target` member by member. False where the merge
// cannot go on: a number member, members given to null, or null given to
// an array. The caller merges into a copy, so a failure changes nothing.
bool Extend(Json& target, const Json& source) {
  if (target.is_array()) {
    if (source.is_null()) return false;
    if (source.is_array()) {
      for (const Json& e : source) target.push_back(e);
    } else if (source.is_string()) {
      const auto& s = source.get_ref<const std::string&>();
      for (std::size_t i = 0, n = jt::Utf16Length(s); i < n; ++i) target.push_back(*jt::Utf16UnitAt(s, i));
    }
    return true;
  }
  if (!source.is_structured() || source.empty()) return true;
  if (!target.is_object()) return false;
  std::size_t position = 0;
  for (auto it = source.begin(); it != source.end(); ++it, ++position) {
    const std::string key = source.is_object() ? it.key() : std::to_string(position);
    const Json& value = *it;
    auto existing = target.find(key);
    if (existing == target.end()) {
      target[key] = value;
      continue;
    }
    Json& member = *existing;
    if (member.is_string() || member.is_boolean()) {
      member = value;
    } else if (member.is_number() || !Extend(member, value)) {
      return false;
    }
  }
  return true;
}

void CollectValues(const Json& container, bool recursive, std::vector<Text>& out) {
  for (const Json& v : container) {
    if (v.is_structured()) {
      if (recursive) CollectValues(v, recursive, out);
    } else if (v.is_string()) {
      out.push_back(FromUtf8(v.get_ref<const std::string&>()));
    } else if (v.is_number() || v.is_boolean()) {
      out.push_back(FromUtf8(jt::ScriptText(v)));
    }
  }
}

// A numeric text as a number; 0 for anything else.
double TextNumber(const std::string& s) {
  std::size_t begin = 0;
  std::size_t end = s.size();
  while (begin < end && IsBlank(std::string_view(&s[begin], 1))) ++begin;
  while (end > begin && IsBlank(std::string_view(&s[end - 1], 1))) --end;
  if (begin == end) return 0;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = s[i];
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return 0;
  }
  const std::string number = s.substr(begin, end - begin);
  char* stop = nullptr;
  const double value = std::strtod(number.c_str(), &stop);
  return stop == number.c_str() + number.size() ? value : 0;
}

std::optional<std::vector<std::string>> Steps(const Text& resolved) {
  return jt::ReadPath(ToUtf8(resolved), kVariableName);
}

// Reads a resolved path. No value holder (a moved-from document) or an
// unreadable path is an error.
Found Read(std::optional<Json>* root, const Text& resolved) {
  if (root == nullptr) return Found{};
  const auto steps = Steps(resolved);
  if (!steps) return Found{};
  return Walk(*root, *steps, steps->size());
}

// Stores a JSON text at a resolved path; a blank text leaves no value there
// and gives false.
bool StoreCode(std::optional<Json>* root, const Text& resolved, const Text& code) {
  if (root == nullptr) return false;
  const auto steps = Steps(resolved);
  if (!steps) return false;
  if (IsBlank(ToUtf8(code))) {
    Store(*root, *steps, std::nullopt);
    return false;
  }
  const auto value = ReadValue(code);
  if (!value) return false;
  return Store(*root, *steps, *value);
}

}  // namespace

// ---------------------------------------------------------------------------

JsonDocument::JsonDocument() : variableName_(kVariableName) { Initialize(); }
JsonDocument::~JsonDocument() = default;
JsonDocument::JsonDocument(const JsonDocument&) = default;
JsonDocument& JsonDocument::operator=(const JsonDocument&) = default;
// A move takes the value and leaves the name: the moved-from document has
// no value holder until Parse or Initialize gives it a new one.
JsonDocument::JsonDocument(JsonDocument&& other) noexcept
    : variableName_(kVariableName), state_(std::move(other.state_)) {}
JsonDocument& JsonDocument::operator=(JsonDocument&& other) noexcept {
  state_ = std::move(other.state_);
  return *this;
}

void JsonDocument::Initialize() {
  state_ = std::make_shared<State>();
  state_->root = Json::object();
}

bool JsonDocument::Parse(const Text& text, bool /*direct*/, ScriptError* error) {
  if (error) *error = ScriptError{};
  auto fresh = std::make_shared<State>();
  Json value;
  switch (ReadJson(ToUtf8(text), value, error)) {
    case ReadResult::Value: fresh->root = std::move(value); break;
    case ReadResult::Blank: break;
    case ReadResult::Invalid: fresh->root = Json(); break;
  }
  state_ = std::move(fresh);
  return state_->root && !state_->root->is_null();
}

bool JsonDocument::Clear() {
  if (!state_) return false;
  state_->root = Json::object();
  return true;
}

Text JsonDocument::ToText() const {
  if (!state_ || !state_->root) return {};
  return FromUtf8(jt::Stringify(*state_->root));
}

bool JsonDocument::ResolvePath(Text& path) const {
  if (path.compare(0, variableName_.size(), variableName_) == 0 &&
      Read(State::RootOf(state_), path).present()) {
    return true;
  }
  if (path.empty()) {
    path = variableName_;
  } else if (path[0] == '[') {
    path = variableName_ + path;
  } else {
    path = variableName_ + "." + path;
  }
  return Read(State::RootOf(state_), path).present();
}

bool JsonDocument::Exists(const Text& path) const {
  Text p = path;
  return ResolvePath(p);
}

int JsonDocument::GetType(const Text& path) const {
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p);
  if (f.isError()) return kJsonTypeInvalid;
  const Json* v = f.value();
  if (v == nullptr || v->is_null()) return kJsonTypeNull;
  if (v->is_string()) return kJsonTypeString;
  if (v->is_array()) return kJsonTypeArray;
  if (v->is_object()) return kJsonTypeObject;
  if (v->is_number()) return kJsonTypeNumber;
  if (v->is_boolean()) return kJsonTypeBoolean;
  return kJsonTypeInvalid;
}

Text JsonDocument::GetText(const Text& path, bool asJson) const {
  if (asJson) return GetJson(path);
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p);
  if (!f.present()) return {};
  return FromUtf8(jt::ScriptText(*f.value()));
}

Text JsonDocument::GetJson(const Text& path) const {
  // JSON of nothing is no text, JSON of null is 'null'.
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p);
  if (f.value() == nullptr) return {};
  return FromUtf8(jt::Stringify(*f.value()));
}

int JsonDocument::GetMemberNames(std::vector<Text>& names, const Text& path) const {
  names.clear();
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p);
  if (!f.present() || !f.value()->is_object()) return 0;
  for (const auto& [key, value] : f.value()->items()) names.push_back(FromUtf8(key));
  return static_cast<int>(names.size());
}

int JsonDocument::GetCount(const Text& path) const {
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p);
  if (!f.present() || !f.value()->is_array()) return 0;
  return static_cast<int>(f.value()->size());
}

JsonDocument JsonDocument::GetSubDocument(const Text& path) const {
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p);
  JsonDocument sub;
  sub.state_->root.reset();
  if (f.value() != nullptr) sub.state_->root = *f.value();
  return sub;
}

JsonDocument JsonDocument::GetElementDocument(int index, const Text& path) const {
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p + "[" + std::to_string(index) + "]");
  JsonDocument sub;
  sub.state_->root.reset();
  if (f.value() != nullptr) sub.state_->root = *f.value();
  return sub;
}

Text JsonDocument::GetElementText(int index, const Text& path, bool asJson) const {
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p + "[" + std::to_string(index) + "]");
  if (asJson) return f.value() == nullptr ? Text() : FromUtf8(jt::Stringify(*f.value()));
  if (!f.present() || !f.value()->is_string()) return {};
  return FromUtf8(f.value()->get_ref<const std::string&>());
}

bool JsonDocument::SetValue(const Text& path, const Text& value, bool isJson) {
  if (!state_) return false;
  Text p = path;
  const bool existed = ResolvePath(p);
  const auto steps = Steps(p);
  if (!steps) return false;
  if (!isJson) return Store(state_->root, *steps, Json(ToUtf8(value)));

  Found target = Walk(state_->root, *steps, steps->size());
  if (existed && target.kind == Found::Kind::Node && target.node->is_object()) {
    const auto source = ReadValue(value.empty() ? Text("{}") : value);
    if (!source) return false;
    Json merged = *target.node;
    if (!Extend(merged, *source)) return false;
    if (static_cast<int>(steps->size()) + jt::Depth(merged) > jt::kMaxDepth) return false;
    *target.node = std::move(merged);
    return true;
  }
  return StoreCode(&state_->root, p, value);
}

bool JsonDocument::SetCode(const Text& path, const Text& code) {
  Text p = path;
  ResolvePath(p);
  return StoreCode(State::RootOf(state_), p, code);
}

bool JsonDocument::AddElement(const Text& value, const Text& path, bool isJson, bool atFront) {
  if (!state_) return false;
  Text p = path;
  ResolvePath(p);
  const auto steps = Steps(p);
  if (!steps) return false;
  std::optional<Json> element;
  if (!isJson) {
    element = Json(ToUtf8(value));
  } else if (!IsBlank(ToUtf8(value))) {
    element = ReadValue(value);
    if (!element) return false;
  }
  if (element && static_cast<int>(steps->size()) + 1 + jt::Depth(*element) > jt::kMaxDepth) return false;

  Found target = Walk(state_->root, *steps, steps->size());
  if (!(target.kind == Found::Kind::Node && target.node->is_array())) {
    if (!Store(state_->root, *steps, Json::array())) return false;
    target = Walk(state_->root, *steps, steps->size());
  }
  Json& array = *target.node;
  if (!element) return !array.empty();  // nothing given: nothing added
  if (atFront) {
    array.insert(array.begin(), std::move(*element));
  } else {
    array.push_back(std::move(*element));
  }
  return true;
}

bool JsonDocument::SetElement(int index, const Text& path, const Text& value, bool isJson) {
  if (!state_) return false;
  Text p = path;
  ResolvePath(p);
  p += "[" + std::to_string(index) + "]";
  if (isJson) return StoreCode(&state_->root, p, value);
  const auto steps = Steps(p);
  if (!steps) return false;
  return Store(state_->root, *steps, Json(ToUtf8(value)));
}

bool JsonDocument::RemoveElement(int index, const Text& path) {
  if (!state_) return false;
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p);
  if (f.kind != Found::Kind::Node || !f.node->is_array()) return false;
  Json& array = *f.node;
  // A negative index counts from the end, as splice does.
  long long at = index;
  if (at < 0) at = std::max(0LL, static_cast<long long>(array.size()) + at);
  if (static_cast<std::size_t>(at) >= array.size()) return false;
  array.erase(array.begin() + at);
  return true;
}

bool JsonDocument::Remove(const Text& path) {
  if (!state_) return false;
  Text p = path;
  ResolvePath(p);
  const auto steps = Steps(p);
  if (!steps || steps->empty()) return false;
  const Slot slot = SlotFor(state_->root, *steps);
  if (slot.kind == Slot::Kind::Invalid) return false;
  if (slot.kind != Slot::Kind::Member) return true;
  Json& parent = *slot.parent;
  if (parent.is_object()) {
    parent.erase(*slot.key);
  } else if (auto i = jt::ArrayIndex(*slot.key); i && *i < parent.size()) {
    parent[*i] = nullptr;  // deleting an element leaves a hole
  }
  return true;
}

bool JsonDocument::SetNumber(const Text& path, double number) {
  if (!state_) return false;
  Text p = path;
  ResolvePath(p);
  const auto steps = Steps(p);
  if (!steps) return false;
  return Store(state_->root, *steps, Json(number));
}

double JsonDocument::GetNumber(const Text& path) const {
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p);
  if (!f.present()) return 0;
  const Json& v = *f.value();
  if (v.is_number()) return v.get<double>();
  if (v.is_boolean()) return v.get<bool>() ? 1 : 0;
  if (v.is_string()) return TextNumber(v.get_ref<const std::string&>());
  return 0;
}

int JsonDocument::GetNodeValues(std::vector<Text>& values, const Text& path, bool recursive) const {
  values.clear();
  Text p = path;
  ResolvePath(p);
  const Found f = Read(State::RootOf(state_), p);
  if (!f.present() || !f.value()->is_structured()) return 0;
  CollectValues(*f.value(), recursive, values);
  return static_cast<int>(values.size());
}

}  // namespace qc
