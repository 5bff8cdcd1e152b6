#include "app/success_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/app_state.h"
#include "app/date_time.h"
#include "app/ports.h"

namespace qc {
namespace {

// A line ">x<" whose x holds no '<', '>', CR or LF.
bool IsRegularEntry(std::string_view line) {
  if (line.size() < 2 || line.front() != '>' || line.back() != '<') return false;
  return line.substr(1, line.size() - 2).find_first_of("<>\r\n") == std::string_view::npos;
}

}  // namespace

void SuccessLog::Assign(Text text) {
  text_ = std::move(text);
  entries_.clear();
  regular_ = true;
  std::string_view rest = text_;
  while (true) {
    const std::size_t end = rest.find("\r\n");
    IndexLine(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 2);
  }
}

void SuccessLog::Add(std::string_view entry) {
  text_ += "\r\n";
  text_ += entry;
  // An entry with a line break inside would start lines of its own; judge
  // it by its lines like a loaded text.
  std::string_view rest = entry;
  while (true) {
    const std::size_t end = rest.find("\r\n");
    IndexLine(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 2);
  }
}

void SuccessLog::IndexLine(std::string_view line) {
  if (line.empty()) return;
  if (!IsRegularEntry(line)) {
    regular_ = false;
    return;
  }
  entries_.emplace(line.substr(1, line.size() - 2));
}

bool SuccessLog::Contains(std::string_view url) const {
  // In a regular text '>' only starts and '<' only ends an entry, so
  // ">url<" can match nowhere but a whole entry.
  if (regular_ && url.find_first_of("<>\r\n") == std::string_view::npos) {
    return entries_.find(std::string(url)) != entries_.end();
  }
  Text needle = ">";
  needle += url;
  needle += "<";
  return ContainsText(text_, needle);
}

std::string SuccessLogPath(std::string_view runDirectory, double moment) {
  std::string path(runDirectory);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  path += "/";
  path += FormatDateTime(moment, "yyyy-MM-dd", "", false);
  path += "推送成功日志.txt";
  return path;
}

void LoadTodaySuccessLog(AppState& state, const Clock& clock) {
  state.todaySuccessLog.Assign(ReadTextFile(SuccessLogPath(state.runDirectory, clock.Now())));
}

void RecordPushSuccess(AppState& state, const Clock& clock, std::string_view entry) {
  state.todaySuccessLog.Add(entry);
  WriteFileAtomically(SuccessLogPath(state.runDirectory, clock.Now()), state.todaySuccessLog.text());
}

Text ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  Text text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return {};
  const std::size_t zero = text.find('\0');
  if (zero != Text::npos) text.resize(zero);
  return text;
}

bool WriteFileAtomically(const std::string& path, std::string_view content) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = true;
  for (std::size_t done = 0; ok && done < content.size();) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      ok = false;
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  // Readable like any file the program writes; mkstemp makes it 0600.
  ok = ok && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
  std::remove(temp.c_str());
  return false;
}

}  // namespace qc
