// Internal to the text folder: how JSON values read as text, the way a
// script engine shows them, and the reader of member paths.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qc::json_text {

using Json = nlohmann::ordered_json;

// Containers nest at most this deep anywhere in a document, so the
// recursive walks below stay shallow.
inline constexpr int kMaxDepth = 512;

// A number as a script engine prints it: shortest round-trip digits,
// plain notation from 1e-6 up to 1e21, exponent form ("1e+21") beyond.
std::string NumberText(double value);
// The same for a number node; integers beyond 2^53 read as the nearest
// double, as they would in a script.
std::string NumberText(const Json& number);

// Compact JSON as a script's stringify writes it (non-finite numbers as
// null, control characters escaped, other characters as they are).
std::string Stringify(const Json& value);
// The value's toString: arrays joined by commas, objects "[object Object]",
// null as the empty text (only reached inside arrays).
std::string ScriptText(const Json& value);

// Nesting depth: 0 for a scalar, 1 for a flat array or object.
int Depth(const Json& value);
// Deepest bracket nesting of a JSON text, stopping once past `limit`.
int TextDepth(std::string_view utf8, int limit);

// Length of a UTF-8 string in UTF-16 units, as a script counts it.
std::size_t Utf16Length(std::string_view utf8);
// The UTF-16 unit at `index` of a UTF-8 string, as a one-unit string in
// UTF-8 (a half of a surrogate pair comes out as U+FFFD); nullopt when the
// index is past the end.
std::optional<std::string> Utf16UnitAt(std::string_view utf8, std::size_t index);

// A member path of the form root.a['b c'][0].d, UTF-8. Each step is a key;
// bracketed numbers become their canonical decimal text, as in a script.
// nullopt when the text is not such a path or does not start with `root`.
std::optional<std::vector<std::string>> ReadPath(std::string_view utf8, std::string_view root);

// "0", "17": a key that addresses an array element; its index.
std::optional<std::size_t> ArrayIndex(std::string_view key);

}  // namespace qc::json_text
