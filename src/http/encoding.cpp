#include "http/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <type_traits>

namespace qc {
namespace {

// ---------------------------------------------------------------------------
// Small byte helpers

// A Text ends at its first zero byte.
std::string_view CutAtZero(std::string_view s) {
  const void* zero = std::memchr(s.data(), 0, s.size());
  if (zero == nullptr) return s;
  return s.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - s.data()));
}

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

// A GBK lead byte takes the next byte with it, whatever that byte is.
bool IsGbkLead(char c) { return Byte(c) >= 0x81 && Byte(c) <= 0xFE; }
bool IsGbkTrail(char c) { return Byte(c) >= 0x40 && Byte(c) <= 0xFE && Byte(c) != 0x7F; }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAllAscii(std::string_view s) {
  for (char c : s) {
    if (Byte(c) >= 0x80) return false;
  }
  return true;
}

// ASCII without zero bytes reads the same in UTF-8 and GBK: the common case
// (markup, URLs, JSON replies) is copied without a trip through code points.
bool IsPlainAscii(std::string_view s) {
  for (char c : s) {
    if (Byte(c) >= 0x80 || c == '\0') return false;
  }
  return true;
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = FoldAscii(c);
  return out;
}

constexpr char32_t kReplacement = 0xFFFD;

// ---------------------------------------------------------------------------
// iconv, owned

struct IconvCloser {
  void operator()(std::remove_pointer_t<iconv_t>* cd) const noexcept { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle OpenIconv(const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return IconvHandle(cd);
}

// Code points travel through iconv as UTF-32LE; the byte order is spelled
// out here rather than taken from the host.
constexpr const char* kPivot = "UTF-32LE";

void PutUtf32Le(char32_t cp, char* out) {
  out[0] = static_cast<char>(cp & 0xFF);
  out[1] = static_cast<char>((cp >> 8) & 0xFF);
  out[2] = static_cast<char>((cp >> 16) & 0xFF);
  out[3] = static_cast<char>((cp >> 24) & 0xFF);
}

char32_t GetUtf32Le(const char* in) {
  return static_cast<char32_t>(Byte(in[0])) | (static_cast<char32_t>(Byte(in[1])) << 8) |
         (static_cast<char32_t>(Byte(in[2])) << 16) | (static_cast<char32_t>(Byte(in[3])) << 24);
}

// ---------------------------------------------------------------------------
// Charsets

enum class CharsetKind { Unknown, Utf8, Gbk, Other };

struct Charset {
  CharsetKind kind = CharsetKind::Unknown;
  std::string iconvName;  // for Gbk and Other
};

Charset Utf8Charset() { return {CharsetKind::Utf8, "UTF-8"}; }
// GB2312 labels and code page 936 are all read as GBK: CP936 is GBK plus
// the euro sign at 0x80, and a GB2312 text is a GBK text.
Charset GbkCharset() { return {CharsetKind::Gbk, "CP936"}; }

bool IconvKnows(const std::string& name) { return OpenIconv(kPivot, name) != nullptr; }

// A charset label (locale codeset, Content-Type charset, "CPn"), any case.
Charset CharsetFromName(std::string_view name) {
  const std::string lower = LowerAscii(name);
  if (lower.empty()) return {};
  if (lower == "utf-8" || lower == "utf8") return Utf8Charset();
  if (lower == "gbk" || lower == "gb2312" || lower == "cp936" || lower == "ms936" || lower == "windows-936" ||
      lower == "x-gbk" || lower == "csgb2312" || lower == "gb_2312-80" || lower == "euc-cn" || lower == "x-euc-cn") {
    return GbkCharset();
  }
  std::string iconvName(name);
  if (!IconvKnows(iconvName)) return {};
  return {CharsetKind::Other, std::move(iconvName)};
}

std::mutex gAnsiMutex;
std::string gAnsiOverride;  // guarded by gAnsiMutex

std::string LocaleCodeset() {
  const char* locale = nullptr;
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') {
      locale = value;
      break;
    }
  }
  if (locale == nullptr) return {};
  std::string_view name(locale);
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) return {};
  std::string_view codeset = name.substr(dot + 1);
  codeset = codeset.substr(0, codeset.find('@'));
  return std::string(codeset);
}

Charset AnsiCharset() {
  const Charset charset = CharsetFromName(SystemAnsiCharset());
  if (charset.kind == CharsetKind::Unknown) return Utf8Charset();
  return charset;
}

Charset CharsetFromCodePage(int codePage) {
  if (codePage == kCodePageAnsi) return AnsiCharset();
  if (codePage == kCodePageGbk) return GbkCharset();
  if (codePage == kCodePageUtf8) return Utf8Charset();
  if (codePage < 0) return {};
  return CharsetFromName("CP" + std::to_string(codePage));
}

// ---------------------------------------------------------------------------
// Decoding to code points. Malformed input becomes U+FFFD and decoding goes
// on with the next byte that can start a character.

std::u32string DecodeUtf8(std::string_view in) {
  std::u32string out;
  out.reserve(in.size());
  std::size_t i = 0;
  const std::size_t n = in.size();
  while (i < n) {
    const unsigned char b = Byte(in[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      cp = b & 0x0F;
      if (b == 0xE0) low = 0xA0;    // no overlong forms
      if (b == 0xED) high = 0x9F;   // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      cp = b & 0x07;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;   // nothing above U+10FFFF
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    // Consume the longest valid prefix; a broken sequence is one U+FFFD and
    // the byte that broke it starts over.
    std::size_t k = 1;
    for (; k < length && i + k < n; ++k) {
      const unsigned char c = Byte(in[i + k]);
      const unsigned char lo = (k == 1) ? low : 0x80;
      const unsigned char hi = (k == 1) ? high : 0xBF;
      if (c < lo || c > hi) break;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (k == length) {
      out.push_back(cp);
    } else {
      out.push_back(kReplacement);
    }
    i += k;
  }
  return out;
}

char32_t CombineSurrogates(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
}

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

std::u32string DecodeUtf16(std::u16string_view in) {
  std::u32string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    const char16_t u = in[i];
    if (IsHighSurrogate(u) && i + 1 < in.size() && IsLowSurrogate(in[i + 1])) {
      out.push_back(CombineSurrogates(u, in[i + 1]));
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      out.push_back(kReplacement);
    } else {
      out.push_back(u);
    }
  }
  return out;
}

// Bytes through iconv into code points. For GBK a bad pair is skipped as a
// pair when its trail byte could belong to it, so that the next character
// is not eaten; a lone lead byte is skipped alone.
std::u32string DecodeWithIconv(std::string_view in, const Charset& charset) {
  std::u32string out;
  if (in.empty()) return out;
  if (charset.kind == CharsetKind::Gbk && IsAllAscii(in)) {
    out.assign(in.begin(), in.end());
    return out;
  }
  IconvHandle cd = OpenIconv(kPivot, charset.iconvName);
  if (!cd) return out;

  std::string buffer(in.size() * 4 + 16, '\0');
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  std::size_t used = 0;
  while (inLeft > 0) {
    char* outPtr = buffer.data() + used;
    std::size_t outLeft = buffer.size() - used;
    const std::size_t rc = iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft);
    used = buffer.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1)) break;
    const int error = errno;
    if (error == E2BIG) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL (a truncated sequence at the end): replace, skip, go on.
    std::size_t skip = 1;
    if (charset.kind == CharsetKind::Gbk && inLeft >= 2 && IsGbkLead(inPtr[0]) && IsGbkTrail(inPtr[1])) skip = 2;
    if (error == EINVAL) skip = inLeft;
    if (buffer.size() - used < 4) buffer.resize(buffer.size() * 2);
    PutUtf32Le(kReplacement, buffer.data() + used);
    used += 4;
    inPtr += skip;
    inLeft -= skip;
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
  }
  out.reserve(used / 4);
  for (std::size_t i = 0; i + 4 <= used; i += 4) out.push_back(GetUtf32Le(buffer.data() + i));
  return out;
}

std::u32string Decode(std::string_view in, const Charset& charset) {
  switch (charset.kind) {
    case CharsetKind::Utf8:
      return DecodeUtf8(in);
    case CharsetKind::Gbk:
    case CharsetKind::Other:
      return DecodeWithIconv(in, charset);
    case CharsetKind::Unknown:
      break;
  }
  return {};
}

// ---------------------------------------------------------------------------
// Encoding code points. What the target lacks becomes '?'.

bool IsScalar(char32_t cp) { return cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF); }

std::string EncodeUtf8(std::u32string_view in) {
  std::string out;
  out.reserve(in.size());
  for (char32_t cp : in) AppendUtf8(out, IsScalar(cp) ? cp : kReplacement);
  return out;
}

std::u16string EncodeUtf16(std::u32string_view in) {
  std::u16string out;
  out.reserve(in.size());
  for (char32_t cp : in) {
    if (!IsScalar(cp)) cp = kReplacement;
    if (cp < 0x10000) {
      out.push_back(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
  }
  return out;
}

std::string EncodeWithIconv(std::u32string_view in, const Charset& charset) {
  std::string out;
  if (in.empty()) return out;
  bool ascii = true;
  for (char32_t cp : in) ascii = ascii && cp < 0x80;
  if (charset.kind == CharsetKind::Gbk && ascii) {
    out.reserve(in.size());
    for (char32_t cp : in) out.push_back(static_cast<char>(cp));
    return out;
  }
  IconvHandle cd = OpenIconv(charset.iconvName, kPivot);
  if (!cd) return out;

  std::string pivot(in.size() * 4, '\0');
  for (std::size_t i = 0; i < in.size(); ++i) PutUtf32Le(IsScalar(in[i]) ? in[i] : kReplacement, pivot.data() + i * 4);

  std::string buffer(in.size() * 2 + 16, '\0');
  char* inPtr = pivot.data();
  std::size_t inLeft = pivot.size();
  std::size_t used = 0;
  while (inLeft > 0) {
    char* outPtr = buffer.data() + used;
    std::size_t outLeft = buffer.size() - used;
    const std::size_t rc = iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft);
    used = buffer.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    // A character the target lacks: its default character, then go on.
    if (used == buffer.size()) buffer.resize(buffer.size() * 2);
    buffer[used++] = '?';
    const std::size_t skip = inLeft < 4 ? inLeft : 4;
    inPtr += skip;
    inLeft -= skip;
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
  }
  // Stateful targets may need a closing shift sequence.
  for (;;) {
    char* outPtr = buffer.data() + used;
    std::size_t outLeft = buffer.size() - used;
    const std::size_t rc = iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft);
    used = buffer.size() - outLeft;
    if (rc != static_cast<std::size_t>(-1) || errno != E2BIG) break;
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(used);
  return buffer;
}

std::string Encode(std::u32string_view in, const Charset& charset) {
  switch (charset.kind) {
    case CharsetKind::Utf8:
      return EncodeUtf8(in);
    case CharsetKind::Gbk:
    case CharsetKind::Other:
      return EncodeWithIconv(in, charset);
    case CharsetKind::Unknown:
      break;
  }
  return {};
}

std::u32string DropZeros(std::u32string cps) {
  std::erase(cps, U'\0');
  return cps;
}

Text EncodeText(std::u32string_view cps) { return std::string(CutAtZero(Encode(cps, GbkCharset()))); }

// UTF-16LE bytes up to the first zero unit. An odd last byte is read as if
// a zero byte followed it, as the zero padding of the input implies.
std::u16string Utf16UnitsFromBytes(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2 + 1);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const char16_t low = Byte(bytes[i]);
    const char16_t high = (i + 1 < bytes.size()) ? Byte(bytes[i + 1]) : 0;
    const char16_t unit = static_cast<char16_t>(low | (high << 8));
    if (unit == 0) break;
    units.push_back(unit);
  }
  return units;
}

Text ReplaceQuoteMarker(std::string_view marker) {
  // "#引号" in GBK.
  static constexpr std::string_view kQuoteMarker = "#\xD2\xFD\xBA\xC5";
  Text out;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t hit = FindText(marker, kQuoteMarker, pos);
    if (hit == std::string_view::npos) break;
    out.append(marker.substr(pos, hit - pos));
    out.push_back('"');
    pos = hit + kQuoteMarker.size();
  }
  out.append(marker.substr(pos));
  return out;
}

std::size_t StartOffset(int start) { return start <= 1 ? 0 : static_cast<std::size_t>(start) - 1; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------

std::string SystemAnsiCharset() {
  {
    std::lock_guard lock(gAnsiMutex);
    if (!gAnsiOverride.empty()) return gAnsiOverride;
  }
  std::string codeset = LocaleCodeset();
  if (codeset.empty() || CharsetFromName(codeset).kind == CharsetKind::Unknown) return "UTF-8";
  return codeset;
}

void SetSystemAnsiCharset(std::string_view charset) {
  std::lock_guard lock(gAnsiMutex);
  gAnsiOverride = std::string(charset);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

Text DecodeBytesToText(std::string_view utf8) {
  utf8 = CutAtZero(utf8);
  if (IsPlainAscii(utf8)) return Text(utf8);
  return EncodeText(DecodeUtf8(utf8));
}

Bytes BytesToUtf16(std::string_view bytes, int codePage) {
  bytes = CutAtZero(bytes);
  if (bytes.empty()) return {};
  const Charset charset = CharsetFromCodePage(codePage);
  if (charset.kind == CharsetKind::Unknown) return {};
  const std::u16string units = EncodeUtf16(DropZeros(Decode(bytes, charset)));
  Bytes out;
  out.reserve(units.size() * 2 + 2);
  for (char16_t u : units) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  out.append(2, '\0');
  return out;
}

Text Utf16ToText(std::string_view utf16le, int codePage, bool useCodePage) {
  const std::u16string units = Utf16UnitsFromBytes(utf16le);
  if (units.empty()) return {};
  const Charset charset = CharsetFromCodePage(useCodePage ? codePage : kCodePageAnsi);
  if (charset.kind == CharsetKind::Unknown) return {};
  return std::string(CutAtZero(Encode(DecodeUtf16(units), charset)));
}

Text UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  text = CutAtZero(text);
  Text out(text.size() * 3 + 1, '\0');
  std::size_t used = 0;
  for (char c : text) {
    const unsigned char b = Byte(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
      out[used++] = c;
    } else if (b == ' ') {
      out[used++] = '+';
    } else {
      out[used++] = '%';
      out[used++] = kHex[b >> 4];
      out[used++] = kHex[b & 0x0F];
    }
  }
  out.resize(used);
  return out;
}

Text UrlDecode(std::string_view text) {
  text = CutAtZero(text);
  Text out(text.size() + 1, '\0');
  std::size_t used = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out[used++] = ' ';
      continue;
    }
    if (c == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        const char decoded = static_cast<char>((high << 4) | low);
        if (decoded == '\0') break;  // a Text ends at its first zero byte
        out[used++] = decoded;
        i += 2;
        continue;
      }
    }
    out[used++] = c;
  }
  out.resize(used);
  return out;
}

Text Base64Encode(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Text out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned group = (Byte(bytes[i]) << 16) | (Byte(bytes[i + 1]) << 8) | Byte(bytes[i + 2]);
    out.push_back(kAlphabet[(group >> 18) & 0x3F]);
    out.push_back(kAlphabet[(group >> 12) & 0x3F]);
    out.push_back(kAlphabet[(group >> 6) & 0x3F]);
    out.push_back(kAlphabet[group & 0x3F]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const unsigned group = Byte(bytes[i]) << 16;
    out.push_back(kAlphabet[(group >> 18) & 0x3F]);
    out.push_back(kAlphabet[(group >> 12) & 0x3F]);
    out.append("==");
  } else if (rest == 2) {
    const unsigned group = (Byte(bytes[i]) << 16) | (Byte(bytes[i + 1]) << 8);
    out.push_back(kAlphabet[(group >> 18) & 0x3F]);
    out.push_back(kAlphabet[(group >> 12) & 0x3F]);
    out.push_back(kAlphabet[(group >> 6) & 0x3F]);
    out.push_back('=');
  }
  return out;
}

std::size_t FindText(std::string_view text, std::string_view what, std::size_t from, bool ignoreCase) {
  constexpr std::size_t npos = std::string_view::npos;
  text = CutAtZero(text);
  what = CutAtZero(what);
  if (text.empty() || from > text.size() || what.size() > text.size()) return npos;
  const std::size_t last = text.size() - what.size();
  std::size_t i = 0;
  while (i <= last) {
    if (i >= from) {
      // Compare byte by byte; letters fold only where the text holds a
      // one-byte character, never inside a two-byte one.
      bool trail = false;
      std::size_t j = 0;
      for (; j < what.size(); ++j) {
        const char t = text[i + j];
        const char w = what[j];
        const bool same = (ignoreCase && !trail) ? FoldAscii(t) == FoldAscii(w) : t == w;
        if (!same) break;
        trail = !trail && IsGbkLead(t);
      }
      if (j == what.size()) return i;
    }
    if (i == text.size()) break;
    i += (IsGbkLead(text[i]) && i + 1 < text.size()) ? 2 : 1;
  }
  return npos;
}

Text TextBefore(std::string_view text, std::string_view separator, int start, bool ignoreCase) {
  text = CutAtZero(text);
  const std::size_t pos = FindText(text, separator, StartOffset(start), ignoreCase);
  if (pos == std::string_view::npos) return {};
  return Text(text.substr(0, pos));
}

Text TextBetween(std::string_view text, std::string_view before, std::string_view after, int start,
                 bool ignoreCase) {
  text = CutAtZero(text);
  const Text open = ReplaceQuoteMarker(CutAtZero(before));
  const Text close = ReplaceQuoteMarker(CutAtZero(after));
  const std::size_t first = FindText(text, open, StartOffset(start), ignoreCase);
  if (first == std::string_view::npos) return {};
  const std::size_t inner = first + open.size();
  const std::size_t second = FindText(text, close, inner, ignoreCase);
  if (second == std::string_view::npos) return {};
  return Text(text.substr(inner, second - inner));
}

Text Utf8ToText(std::string_view utf8) {
  if (IsPlainAscii(utf8)) return Text(utf8);
  return EncodeText(DropZeros(DecodeUtf8(utf8)));
}

std::string TextToUtf8(std::string_view text) {
  if (IsPlainAscii(text)) return std::string(text);
  return EncodeUtf8(Decode(text, GbkCharset()));
}

std::u16string TextToUtf16(std::string_view text) { return EncodeUtf16(Decode(text, GbkCharset())); }

Text Utf16ToTextUnits(std::u16string_view units) { return EncodeText(DropZeros(DecodeUtf16(units))); }

Text CharsetToText(std::string_view bytes, std::string_view charset) {
  // Content-Type parameters may be quoted or padded.
  std::string_view label = charset;
  while (!label.empty() && (label.front() == ' ' || label.front() == '\t' || label.front() == '"')) {
    label.remove_prefix(1);
  }
  while (!label.empty() && (label.back() == ' ' || label.back() == '\t' || label.back() == '"')) {
    label.remove_suffix(1);
  }
  Charset source = CharsetFromName(label);
  if (source.kind == CharsetKind::Unknown) source = Utf8Charset();
  if (source.kind != CharsetKind::Other && IsPlainAscii(bytes)) return Text(bytes);
  return EncodeText(DropZeros(Decode(bytes, source)));
}

}  // namespace qc
