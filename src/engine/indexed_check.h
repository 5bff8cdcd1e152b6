// Whether the search engine has a URL indexed already, read from its
// results page for a query of the URL itself.
#pragma once

#include <optional>
#include <string_view>

namespace qc {

struct AppState;
class WindowPort;
class Clock;

struct IndexedCheck {
  AppState& state;
  WindowPort& window;
  const Clock& clock;
  std::optional<int> timeoutMs;  // all four phases; empty: the request's defaults
};

// Queries searchBase + "/s?wd=" + the encoded URL. True when the page has
// no not-found marker. A security check or overload page switches the
// check off for the rest of the run (the box is unticked, filterIndexed
// cleared; the settings file is not touched) and counts as not indexed;
// so does a query without a reply or with a status other than 200, with a
// log line.
bool IsIndexed(const IndexedCheck& check, std::string_view url);

}  // namespace qc
