#include "text/json_text.h"

#include "http/encoding.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace qc::json_text {
namespace {

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

// Length of the UTF-8 sequence a byte starts (1 for stray bytes, which
// then count as one character each).
std::size_t SequenceLength(char c) {
  const unsigned char b = Byte(c);
  if (b >= 0xF0 && b <= 0xF4) return 4;
  if (b >= 0xE0) return b <= 0xEF ? 3 : 1;
  if (b >= 0xC2) return 2;
  return 1;
}

void AppendQuoted(std::string& out, const std::string& s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (Byte(c) < 0x20) {
          out += "\\u00";
          out.push_back(kHex[Byte(c) >> 4]);
          out.push_back(kHex[Byte(c) & 0x0F]);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

void AppendJson(std::string& out, const Json& v) {
  switch (v.type()) {
    case Json::value_t::null: out += "null"; return;
    case Json::value_t::boolean: out += v.get<bool>() ? "true" : "false"; return;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float: {
      const double d = v.get<double>();
      out += std::isfinite(d) ? NumberText(v) : "null";
      return;
    }
    case Json::value_t::string: AppendQuoted(out, v.get_ref<const std::string&>()); return;
    case Json::value_t::array: {
      out.push_back('[');
      bool first = true;
      for (const Json& e : v) {
        if (!first) out.push_back(',');
        first = false;
        AppendJson(out, e);
      }
      out.push_back(']');
      return;
    }
    case Json::value_t::object: {
      out.push_back('{');
      bool first = true;
      for (const auto& [key, e] : v.items()) {
        if (!first) out.push_back(',');
        first = false;
        AppendQuoted(out, key);
        out.push_back(':');
        AppendJson(out, e);
      }
      out.push_back('}');
      return;
    }
    default: out += "null"; return;  // binary or discarded: never stored
  }
}

void AppendScriptText(std::string& out, const Json& v) {
  switch (v.type()) {
    case Json::value_t::null: return;
    case Json::value_t::boolean: out += v.get<bool>() ? "true" : "false"; return;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float: out += NumberText(v); return;
    case Json::value_t::string: out += v.get_ref<const std::string&>(); return;
    case Json::value_t::array: {
      bool first = true;
      for (const Json& e : v) {
        if (!first) out.push_back(',');
        first = false;
        AppendScriptText(out, e);
      }
      return;
    }
    case Json::value_t::object: out += "[object Object]"; return;
    default: return;
  }
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }
bool IsIdentifierStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || Byte(c) >= 0x80;
}
bool IsIdentifierPart(char c) { return IsIdentifierStart(c) || (c >= '0' && c <= '9'); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `count` hex digits at s[i]; -1 when they are not there.
long HexRun(std::string_view s, std::size_t i, std::size_t count) {
  if (i + count > s.size()) return -1;
  long value = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const int h = HexValue(s[i + k]);
    if (h < 0) return -1;
    value = value * 16 + h;
  }
  return value;
}

// A quoted key inside brackets, with the escapes a script string knows.
// `i` is at the opening quote and ends past the closing one.
std::optional<std::string> ReadQuoted(std::string_view s, std::size_t& i) {
  const char quote = s[i++];
  std::string out;
  while (i < s.size()) {
    const char c = s[i++];
    if (c == quote) return out;
    if (c == '\n' || c == '\r') return std::nullopt;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (i >= s.size()) return std::nullopt;
    const char e = s[i++];
    switch (e) {
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'v': out.push_back('\v'); break;
      case '0': out.push_back('\0'); break;
      case 'x': {
        const long v = HexRun(s, i, 2);
        if (v < 0) return std::nullopt;
        AppendUtf8(out, static_cast<char32_t>(v));
        i += 2;
        break;
      }
      case 'u': {
        long v = HexRun(s, i, 4);
        if (v < 0) return std::nullopt;
        i += 4;
        if (v >= 0xD800 && v <= 0xDBFF && i + 1 < s.size() && s[i] == '\\' && s[i + 1] == 'u') {
          const long low = HexRun(s, i + 2, 4);
          if (low >= 0xDC00 && low <= 0xDFFF) {
            v = 0x10000 + ((v - 0xD800) << 10) + (low - 0xDC00);
            i += 6;
          }
        }
        if (v >= 0xD800 && v <= 0xDFFF) v = 0xFFFD;
        AppendUtf8(out, static_cast<char32_t>(v));
        break;
      }
      default: out.push_back(e); break;  // \' \" \\ and any other character as itself
    }
  }
  return std::nullopt;
}

}  // namespace

std::string NumberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";  // -0 too
  std::string out;
  if (value < 0) {
    out.push_back('-');
    value = -value;
  }
  // Shortest digits that read back as the same double, then laid out the
  // way a script engine does.
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
  const std::size_t e = sci.find('e');
  std::string digits(1, sci[0]);
  if (e > 2) digits.append(sci.substr(2, e - 2));
  int exponent = 0;
  const std::string_view expText = sci.substr(e + 1);
  std::from_chars(expText.data() + (expText[0] == '+' ? 1 : 0), expText.data() + expText.size(), exponent);
  const int k = static_cast<int>(digits.size());
  const int n = exponent + 1;
  if (k <= n && n <= 21) {
    out += digits;
    out.append(static_cast<std::size_t>(n - k), '0');
  } else if (0 < n && n <= 21) {
    out += digits.substr(0, static_cast<std::size_t>(n));
    out.push_back('.');
    out += digits.substr(static_cast<std::size_t>(n));
  } else if (-6 < n && n <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-n), '0');
    out += digits;
  } else {
    out.push_back(digits[0]);
    if (k > 1) {
      out.push_back('.');
      out += digits.substr(1);
    }
    out.push_back('e');
    out.push_back(n - 1 >= 0 ? '+' : '-');
    out += std::to_string(std::abs(n - 1));
  }
  return out;
}

std::string NumberText(const Json& number) {
  constexpr std::int64_t kExact = std::int64_t{1} << 53;
  if (number.is_number_unsigned()) {
    const auto u = number.get<std::uint64_t>();
    if (u <= static_cast<std::uint64_t>(kExact)) return std::to_string(u);
  } else if (number.is_number_integer()) {
    const auto i = number.get<std::int64_t>();
    if (i >= -kExact && i <= kExact) return std::to_string(i);
  }
  return NumberText(number.get<double>());
}

std::string Stringify(const Json& value) {
  std::string out;
  AppendJson(out, value);
  return out;
}

std::string ScriptText(const Json& value) {
  std::string out;
  AppendScriptText(out, value);
  return out;
}

int Depth(const Json& value) {
  if (!value.is_structured()) return 0;
  int deepest = 0;
  for (const Json& e : value) {
    const int d = Depth(e);
    if (d > deepest) deepest = d;
  }
  return deepest + 1;
}

int TextDepth(std::string_view utf8, int limit) {
  int depth = 0;
  int deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > deepest) {
        deepest = depth;
        if (deepest > limit) return deepest;
      }
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t len = std::min(SequenceLength(utf8[i]), utf8.size() - i);
    units += len == 4 ? 2 : 1;
    i += len;
  }
  return units;
}

std::optional<std::string> Utf16UnitAt(std::string_view utf8, std::size_t index) {
  std::size_t unit = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t len = std::min(SequenceLength(utf8[i]), utf8.size() - i);
    const std::size_t width = len == 4 ? 2 : 1;
    if (index < unit + width) {
      if (width == 2) return std::string("\xEF\xBF\xBD");
      return std::string(utf8.substr(i, len));
    }
    unit += width;
    i += len;
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> ReadPath(std::string_view s, std::string_view root) {
  std::size_t i = 0;
  auto skipSpace = [&] {
    while (i < s.size() && IsSpace(s[i])) ++i;
  };
  auto readIdentifier = [&]() -> std::optional<std::string> {
    if (i >= s.size() || !IsIdentifierStart(s[i])) return std::nullopt;
    const std::size_t start = i;
    while (i < s.size() && IsIdentifierPart(s[i])) ++i;
    return std::string(s.substr(start, i - start));
  };

  skipSpace();
  const auto head = readIdentifier();
  if (!head || *head != root) return std::nullopt;
  std::vector<std::string> steps;
  for (;;) {
    skipSpace();
    if (i >= s.size()) return steps;
    if (s[i] == '.') {
      ++i;
      skipSpace();
      auto key = readIdentifier();
      if (!key) return std::nullopt;
      steps.push_back(std::move(*key));
      continue;
    }
    if (s[i] != '[') return std::nullopt;
    ++i;
    skipSpace();
    if (i >= s.size()) return std::nullopt;
    if (s[i] == '\'' || s[i] == '"') {
      auto key = ReadQuoted(s, i);
      if (!key) return std::nullopt;
      steps.push_back(std::move(*key));
    } else {
      // A number literal: its key is the number's own text ([007] is 7).
      const std::size_t start = i;
      if (s[i] == '-') ++i;
      const std::size_t digitsStart = i;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
      if (i == digitsStart) return std::nullopt;
      const std::string literal(s.substr(start, i - start));
      steps.push_back(NumberText(std::strtod(literal.c_str(), nullptr)));
    }
    skipSpace();
    if (i >= s.size() || s[i] != ']') return std::nullopt;
    ++i;
  }
}

std::optional<std::size_t> ArrayIndex(std::string_view key) {
  if (key.empty() || key.size() > 10 || (key.size() > 1 && key[0] == '0')) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : key) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value >= 0xFFFFFFFFull) return std::nullopt;
  return static_cast<std::size_t>(value);
}

}  // namespace qc::json_text
