// The settings of Bd_Config.ini as the main window shows them: loaded once
// into the controls and the state, each written back by the change handler
// of the control that shows it.
#pragma once

namespace qc {

struct AppState;
class WindowPort;

// Site, token, URL pattern, Content-Type keywords, quota and the indexed
// filter, in that order, into the boxes and the state. Filling a box counts
// as a change of it, so the pattern, the keywords and the quota are written
// back in their stored form. When the file is missing (it could not be
// created), the default settings are used.
void LoadSettings(AppState& state, WindowPort& window);

// Change handlers, window thread.
void OnQuotaChanged(AppState& state, WindowPort& window);          // Api/remain
void OnFilterIndexedClicked(AppState& state, WindowPort& window);  // filter/Included, filterIndexed
void OnUrlPatternChanged(AppState& state, WindowPort& window);     // filter/regular, encoded
void OnContentTypesChanged(AppState& state, WindowPort& window);   // keywords, filter/Content_type, encoded
// The start handler, once its checks passed: Api/Site and Api/Token, plain.
void SaveSiteAndToken(AppState& state, WindowPort& window);

}  // namespace qc
