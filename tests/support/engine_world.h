// The world an engine test runs in: a loopback site, push interface and
// search page, a run directory, the program state and in-memory ports.
// Header only: it is used by the engine's tests, which link the engine.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/config_file.h"
#include "app/memory_window.h"
#include "support/engine_temp_dir.h"
#include "support/fake_services.h"
#include "support/site_server.h"

namespace qc::test {

struct EngineWorld {
  SiteServer site;
  FakePushApi push;
  FakeSearch search;
  TempDir dir;
  AppState state;
  MemoryWindow window;
  MemoryPrompter prompter;
  ManualClock clock{ManualClock::At(2026, 3, 7, 10, 0, 0)};
  Ports ports{window, prompter, clock};

  EngineWorld() {
    EXPECT_TRUE(site.Start());
    EXPECT_TRUE(push.Start());
    EXPECT_TRUE(search.Start());
    state.version = 2.75;
    state.runDirectory = dir.path();
    state.endpoints.pushApi = push.BaseUrl();
    state.endpoints.search = search.BaseUrl();
    state.SetContentTypeKeywords({"javascript", "image", "css", "font", "woff", "xml", "json"});
    window.WriteText(Control::SiteBox, site.Url("/"));
    window.WriteText(Control::TokenBox, "secret-token-123");
    window.WriteText(Control::QuotaBox, "100000");
    window.WriteText(Control::UrlPatternBox, R"(href *= *['"]*(\S+)["'])");
    WriteDefaultConfigFile(ConfigFilePath(dir.path()));
  }

  // The log's messages in UTF-8, for readable expectations.
  std::vector<std::string> Log() {
    std::vector<std::string> lines;
    for (const Text& message : window.LogMessages()) lines.push_back(TextToUtf8(message));
    return lines;
  }
  std::string Label(Control control) { return TextToUtf8(window.ReadText(control)); }
  // An absolute URL of the site, as the crawler writes it.
  std::string Url(const std::string& path) const { return site.Url(path); }
};

// Lines of `log` that start with `prefix`.
inline std::vector<std::string> LinesStartingWith(const std::vector<std::string>& log, const std::string& prefix) {
  std::vector<std::string> lines;
  for (const std::string& line : log) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  return lines;
}

}  // namespace qc::test
