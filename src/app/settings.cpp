#include "app/settings.h"

#include <string>

#include "app/app_state.h"
#include "app/config_file.h"
#include "app/ports.h"
#include "app/profile_file.h"

namespace qc {
namespace {

std::string ConfigPath(const AppState& state) { return ConfigFilePath(state.runDirectory); }

// A setting as stored, from the file, or from the default content when the
// file does not exist.
Text ReadSetting(const std::string& path, bool fileExists, std::string_view section, std::string_view key) {
  if (fileExists) return ReadProfileString(path, section, key);
  const std::string_view defaults = DefaultConfigContent();
  std::string_view currentSection;
  for (std::size_t pos = 0; pos < defaults.size();) {
    std::size_t end = defaults.find("\r\n", pos);
    if (end == std::string_view::npos) end = defaults.size();
    const std::string_view line = defaults.substr(pos, end - pos);
    pos = end + 2;
    if (line.starts_with('[') && line.ends_with(']')) {
      currentSection = line.substr(1, line.size() - 2);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos && currentSection == section && line.substr(0, equals) == key) {
      return Text(line.substr(equals + 1));
    }
  }
  return {};
}

// The keyword box's text split at ",". Empty pieces (from doubled or
// trailing commas) are dropped: an empty keyword would match every
// Content-Type line and reject every URL.
TextArray SplitKeywords(std::string_view text) {
  TextArray keywords;
  for (const Text& piece : SplitText(text, ",")) {
    if (!piece.empty()) keywords.Append(piece);
  }
  return keywords;
}

}  // namespace

void LoadSettings(AppState& state, WindowPort& window) {
  const std::string path = ConfigPath(state);
  // Read everything first: the handlers below write to the file.
  const bool exists = ConfigFileExists(path);
  const Text site = ReadSetting(path, exists, "Api", "Site");
  const Text token = ReadSetting(path, exists, "Api", "Token");
  const Text pattern = ReadSetting(path, exists, "filter", "regular");
  const Text contentTypes = ReadSetting(path, exists, "filter", "Content_type");
  const Text quota = ReadSetting(path, exists, "Api", "remain");
  const Text included = ReadSetting(path, exists, "filter", "Included");

  window.WriteText(Control::SiteBox, site);
  window.WriteText(Control::TokenBox, token);
  window.WriteText(Control::UrlPatternBox, UrlDecode(pattern));
  OnUrlPatternChanged(state, window);
  window.WriteText(Control::ContentTypeBox, UrlDecode(contentTypes));
  OnContentTypesChanged(state, window);
  window.WriteText(Control::QuotaBox, quota);
  OnQuotaChanged(state, window);
  window.SetFilterIndexedChecked(included == "True");
  state.filterIndexed.store(window.FilterIndexedChecked());
}

void OnQuotaChanged(AppState& state, WindowPort& window) {
  WriteProfileString(ConfigPath(state), "Api", "remain", window.ReadText(Control::QuotaBox));
}

void OnFilterIndexedClicked(AppState& state, WindowPort& window) {
  const bool checked = window.FilterIndexedChecked();
  WriteProfileString(ConfigPath(state), "filter", "Included", checked ? "True" : "False");
  state.filterIndexed.store(checked);
}

void OnUrlPatternChanged(AppState& state, WindowPort& window) {
  WriteProfileString(ConfigPath(state), "filter", "regular", UrlEncode(window.ReadText(Control::UrlPatternBox)));
}

void OnContentTypesChanged(AppState& state, WindowPort& window) {
  const Text text = window.ReadText(Control::ContentTypeBox);
  state.SetContentTypeKeywords(SplitKeywords(text));
  WriteProfileString(ConfigPath(state), "filter", "Content_type", UrlEncode(text));
}

void SaveSiteAndToken(AppState& state, WindowPort& window) {
  const std::string path = ConfigPath(state);
  WriteProfileString(path, "Api", "Site", window.ReadText(Control::SiteBox));
  WriteProfileString(path, "Api", "Token", window.ReadText(Control::TokenBox));
}

}  // namespace qc
