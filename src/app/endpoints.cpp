#include "app/endpoints.h"

#include "app/profile_file.h"

namespace qc {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

Text BaseUrl(std::string_view value, const Text& fallback) {
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  while (!value.empty() && (IsBlank(value.back()) || value.back() == '/')) value.remove_suffix(1);
  if (value.empty()) return fallback;
  if (StartsWithIgnoringCase(value, "http://") || StartsWithIgnoringCase(value, "https://")) return Text(value);
  return "http://" + Text(value);
}

}  // namespace

Endpoints LoadEndpoints(std::string_view configPath) {
  const Endpoints defaults;
  Endpoints endpoints;
  endpoints.pushApi = BaseUrl(ReadProfileString(configPath, "Endpoints", "PushApi"), defaults.pushApi);
  endpoints.search = BaseUrl(ReadProfileString(configPath, "Endpoints", "Search"), defaults.search);
  endpoints.updateServer =
      BaseUrl(ReadProfileString(configPath, "Endpoints", "UpdateServer"), defaults.updateServer);
  return endpoints;
}

}  // namespace qc
