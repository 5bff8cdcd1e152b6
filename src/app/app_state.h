// The program-wide state: one of each, created before the main window and
// kept until the program ends.
//
// Threads: the window thread and one task worker share it. The stop flag
// and the filter option are atomic; the size of pushList is published for
// the window thread (PublishedCount); the keyword list is guarded. Every
// other field is touched by one thread at a time (the window thread, or the
// worker while a task runs).
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

#include "app/endpoints.h"
#include "app/success_log.h"
#include "app/text_array.h"

namespace qc {

struct Ports;

// An ordered list of texts without repeats, with a hash index beside it so
// that membership and adding cost no scan. Appending a list and then
// removing repeats (first occurrences kept) gives the same list as adding
// its entries one by one with AppendUnique.
class UrlList {
 public:
  UrlList() = default;
  UrlList(const UrlList&) = delete;
  UrlList& operator=(const UrlList&) = delete;

  std::size_t Count() const { return items_.size(); }
  // The count, readable from another thread; it may lag one change behind.
  std::size_t PublishedCount() const { return published_.load(std::memory_order_acquire); }
  // 1-based; the empty text outside 1..Count().
  const Text& At(std::size_t index) const;
  bool Contains(std::string_view text) const { return index_.find(text) != index_.end(); }
  // Adds `text` at the end unless it is already there; true when added.
  bool AppendUnique(std::string_view text);
  void AppendUnique(const TextArray& list);
  void Clear();
  TextArray ToTextArray() const;

 private:
  void Publish() { published_.store(items_.size(), std::memory_order_release); }

  // A deque keeps its elements in place, so the index can view them.
  std::deque<Text> items_;
  std::unordered_set<std::string_view> index_;
  std::atomic<std::size_t> published_{0};
};

struct AppState {
  double version = 0;
  UrlList pushList;
  int shownCrawlCount = 0;
  std::atomic<bool> filterIndexed{false};
  std::atomic<int> stopRequested{0};
  SuccessLog todaySuccessLog;
  TextArray crawledUrls;
  int submittedCount = 0;
  int successCount = 0;
  UrlList rejectedUrls;
  UrlList visitedPages;

  // Where Bd_Config.ini and the daily logs live, and the outside services.
  std::string runDirectory;
  Endpoints endpoints;

  // The Content-Type keywords (written by the window, read by the worker).
  TextArray ContentTypeKeywords() const;
  void SetContentTypeKeywords(TextArray keywords);

 private:
  mutable std::mutex keywordsMutex_;
  TextArray contentTypeKeywords_;
};

// The version text the program parses at start.
inline constexpr std::string_view kVersionText = "2.75";

// A box's text as a number: leading blanks skipped, then an optional sign,
// digits and a decimal part; whatever follows is ignored. A text that does
// not start with a number gives 0.
double TextToNumber(std::string_view text);

// The main window's creation steps, headless: the settings file (written
// with the default content when missing; `afterDefaultWritten` then runs,
// the window restarts the program there), "软件启动" and the caption in the
// log, the settings into the controls and the state, the caption, today's
// success log, the endpoints, and the stop flag cleared.
void RunCreationSteps(AppState& state, const Ports& ports, const std::function<void()>& afterDefaultWritten = {});

}  // namespace qc
