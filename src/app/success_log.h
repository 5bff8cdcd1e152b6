// The daily success log: which URLs were pushed successfully today. One
// file per day beside the program, named by the date and "推送成功日志.txt",
// holding GBK text: "\r\n>url<" per entry, no line break after the last.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "http/encoding.h"

namespace qc {

struct AppState;
class Clock;

// The log's text with an index of its entries. Contains(url) answers
// exactly what a search for ">" + url + "<" anywhere in the text answers,
// without scanning the text for every URL.
class SuccessLog {
 public:
  // Replaces the whole text (a loaded file).
  void Assign(Text text);
  // text += "\r\n" + entry; `entry` is the stored form ">" + url + "<".
  void Add(std::string_view entry);
  const Text& text() const { return text_; }
  bool Contains(std::string_view url) const;

 private:
  void IndexLine(std::string_view line);

  Text text_;
  // Inner texts of the lines of the form ">url<" (no other '<', '>', CR or
  // LF inside). While every line has that form, a lookup in the set is the
  // same as the text search; otherwise the text is searched.
  std::unordered_set<std::string> entries_;
  bool regular_ = true;
};

// runDirectory + "/" + the date of `moment` ("yyyy-MM-dd") + "推送成功日志.txt".
// The name is UTF-8 on disk, as file names are here; the content is GBK.
std::string SuccessLogPath(std::string_view runDirectory, double moment);

// todaySuccessLog = the content of today's file (empty when there is none).
void LoadTodaySuccessLog(AppState& state, const Clock& clock);

// Adds `entry` to todaySuccessLog and writes the whole text to the file of
// the current date, atomically (temporary file, then rename). A file that
// cannot be written is not reported; the entry stays in memory.
void RecordPushSuccess(AppState& state, const Clock& clock, std::string_view entry);

// Reads a whole file as a text (up to its first zero byte); empty when it
// cannot be read.
Text ReadTextFile(const std::string& path);
// Replaces `path` with `content` through a temporary file in the same
// directory and a rename. False when it cannot.
bool WriteFileAtomically(const std::string& path, std::string_view content);

}  // namespace qc
