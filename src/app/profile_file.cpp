#include "app/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qc {
namespace {

// Larger files are not settings files; refusing them bounds memory.
constexpr off_t kMaxProfileFileBytes = 64 * 1024 * 1024;

struct FdCloser {
  int fd = -1;
  explicit FdCloser(int f) : fd(f) {}
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
  int Release() {
    const int f = fd;
    fd = -1;
    return f;
  }
};

struct FreeDeleter {
  void operator()(char* p) const noexcept { std::free(p); }
};

std::string_view CutAtZero(std::string_view s) {
  const std::size_t zero = s.find('\0');
  return zero == std::string_view::npos ? s : s.substr(0, zero);
}

enum class ReadStatus { Ok, Missing, Failed };

ReadStatus ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  // O_NONBLOCK: a FIFO or device in place of the file must not block us;
  // it is refused below as not a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
  FdCloser closer(fd);
  struct stat info{};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxProfileFileBytes) {
    return ReadStatus::Failed;
  }
  out.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ReadStatus::Failed;
    if (n == 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
    if (out.size() > static_cast<std::size_t>(kMaxProfileFileBytes)) return ReadStatus::Failed;  // grew meanwhile
  }
  return ReadStatus::Ok;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

enum class LineKind { Other, Section, Key };

// One line of the file: bytes [begin, contentEnd) without its line break,
// [contentEnd, end) the break itself ("\n", "\r\n" or nothing at the end).
struct Line {
  std::size_t begin = 0;
  std::size_t contentEnd = 0;
  std::size_t end = 0;
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key lines: the raw value, trimmed
};

std::vector<Line> ParseLines(std::string_view file) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < file.size()) {
    Line line;
    line.begin = pos;
    const std::size_t newline = file.find('\n', pos);
    line.end = newline == std::string_view::npos ? file.size() : newline + 1;
    line.contentEnd = newline == std::string_view::npos ? file.size() : newline;
    if (line.contentEnd > line.begin && file[line.contentEnd - 1] == '\r') --line.contentEnd;
    pos = line.end;

    std::string_view content = file.substr(line.begin, line.contentEnd - line.begin);
    // A hand-edited file may start with a UTF-8 byte-order mark.
    if (line.begin == 0 && content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
    content = Trim(content);
    if (!content.empty() && content.front() == '[') {
      const std::size_t close = content.find(']');
      line.kind = LineKind::Section;
      line.name = Trim(content.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    } else if (!content.empty() && content.front() != ';') {
      const std::size_t equals = content.find('=');
      if (equals != std::string_view::npos) {
        line.kind = LineKind::Key;
        line.name = Trim(content.substr(0, equals));
        line.value = Trim(content.substr(equals + 1));
      }
    }
    lines.push_back(line);
  }
  return lines;
}

// Index of the first key line named `key` inside any section named
// `section` (duplicate sections are searched in file order), or -1.
long FindKeyLine(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (line.kind == LineKind::Section) {
      inSection = SameName(line.name, section);
    } else if (inSection && line.kind == LineKind::Key && SameName(line.name, key)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

// Drops one pair of enclosing quotes, then cuts at the read limit without
// splitting a two-byte character.
Text CleanValue(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  value = CutAtZero(value);
  if (value.size() <= kMaxProfileValueBytes) return Text(value);
  std::size_t cut = 0;
  while (cut < kMaxProfileValueBytes) {
    const auto b = static_cast<unsigned char>(value[cut]);
    const std::size_t width = (b >= 0x81 && b <= 0xFE) ? 2 : 1;
    if (cut + width > kMaxProfileValueBytes) break;
    cut += width;
  }
  return Text(value.substr(0, cut));
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// The line break new lines get: the file's own (its first one), CRLF for a
// file that has none yet.
std::string_view LineBreakOf(std::string_view file) {
  const std::size_t newline = file.find('\n');
  if (newline == std::string_view::npos) return "\r\n";
  return (newline > 0 && file[newline - 1] == '\r') ? "\r\n" : "\n";
}

// The file a write should replace: a symbolic link's target, else the path.
std::string WriteTarget(const std::string& path) {
  struct stat info{};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  std::unique_ptr<char, FreeDeleter> resolved(::realpath(path.c_str(), nullptr));
  return resolved ? std::string(resolved.get()) : path;
}

std::atomic<unsigned> gTempCounter{0};

}  // namespace

Text ReadProfileString(std::string_view path, std::string_view section, std::string_view key) {
  section = Trim(CutAtZero(section));
  key = Trim(CutAtZero(key));
  std::string file;
  if (ReadWholeFile(std::string(CutAtZero(path)), file) != ReadStatus::Ok) return {};
  const std::vector<Line> lines = ParseLines(file);
  const long index = FindKeyLine(lines, section, key);
  if (index < 0) return {};
  return CleanValue(lines[static_cast<std::size_t>(index)].value);
}

TextArray ReadProfileKeys(std::string_view path, std::string_view section) {
  section = Trim(CutAtZero(section));
  TextArray keys;
  std::string file;
  if (ReadWholeFile(std::string(CutAtZero(path)), file) != ReadStatus::Ok) return keys;
  bool inSection = false;
  for (const Line& line : ParseLines(file)) {
    if (line.kind == LineKind::Section) {
      inSection = SameName(line.name, section);
      continue;
    }
    if (!inSection || line.kind != LineKind::Key || line.name.empty()) continue;
    bool known = false;
    for (const Text& k : keys) known = known || SameName(k, line.name);
    if (!known) keys.Append(Text(CutAtZero(line.name)));
  }
  return keys;
}

bool WriteProfileString(std::string_view path, std::string_view section, std::string_view key,
                        std::string_view value) {
  section = Trim(CutAtZero(section));
  key = Trim(CutAtZero(key));
  value = CutAtZero(value);
  // Anything that would read back as another line or another name is refused
  // rather than written.
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
    return false;
  }
  if (section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
      key.front() == '[' || key.front() == ';') {
    return false;
  }

  const std::string filePath(CutAtZero(path));
  std::string file;
  if (ReadWholeFile(filePath, file) == ReadStatus::Failed) return false;
  const std::string_view eol = LineBreakOf(file);
  const std::vector<Line> lines = ParseLines(file);

  const long keyIndex = FindKeyLine(lines, section, key);
  if (keyIndex >= 0) {
    const Line& line = lines[static_cast<std::size_t>(keyIndex)];
    std::string updated = file.substr(0, line.begin);
    updated.append(line.name).append("=").append(value);
    updated.append(file, line.contentEnd, std::string::npos);
    return WriteFileAtomically(filePath, updated);
  }

  // The key goes after the last non-blank line of the first section with
  // that name; a missing section is added at the end of the file.
  long insertAfter = -1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != LineKind::Section || !SameName(lines[i].name, section)) continue;
    insertAfter = static_cast<long>(i);
    for (std::size_t j = i + 1; j < lines.size() && lines[j].kind != LineKind::Section; ++j) {
      if (!Trim(std::string_view(file).substr(lines[j].begin, lines[j].contentEnd - lines[j].begin)).empty()) {
        insertAfter = static_cast<long>(j);
      }
    }
    break;
  }

  std::string keyLine;
  keyLine.append(key).append("=").append(value).append(eol);
  std::string updated;
  if (insertAfter >= 0) {
    const Line& anchor = lines[static_cast<std::size_t>(insertAfter)];
    updated = file.substr(0, anchor.end);
    if (anchor.end == anchor.contentEnd) updated.append(eol);  // the last line had no break
    updated.append(keyLine);
    updated.append(file, anchor.end, std::string::npos);
  } else {
    updated = file;
    if (!updated.empty() && updated.back() != '\n') updated.append(eol);
    updated.append("[").append(section).append("]").append(eol).append(keyLine);
  }
  return WriteFileAtomically(filePath, updated);
}

bool WriteFileAtomically(std::string_view path, std::string_view content) {
  const std::string target = WriteTarget(std::string(CutAtZero(path)));
  if (target.empty()) return false;

  struct stat existing{};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return false;

  // The temporary file sits beside the target so the rename stays on one
  // file system and is atomic.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(gTempCounter.fetch_add(1));
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  FdCloser closer(fd);

  bool ok = !exists || ::fchmod(fd, existing.st_mode & 07777) == 0;
  const char* data = content.data();
  std::size_t left = content.size();
  while (ok && left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(closer.Release()) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace qc
