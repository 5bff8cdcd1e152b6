#include "app/config_file.h"

#include <sys/stat.h>

#include "app/profile_file.h"

namespace qc {

namespace {

// The values are stored percent-encoded: the pattern is
// href *= *['"]*(\S+)["'] and the keywords javascript,image,css,font,woff,xml,json.
constexpr std::string_view kDefaultContent =
    "[Api]\r\n"
    "Site=\r\n"
    "Token=\r\n"
    "remain=\r\n"
    "[filter]\r\n"
    "regular=href+%2A%3D+%2A%5B%27%22%5D%2A%28%5CS%2B%29%5B%22%27%5D\r\n"
    "Content_type=javascript%2Cimage%2Ccss%2Cfont%2Cwoff%2Cxml%2Cjson\r\n"
    "Included=True\r\n";

}  // namespace

std::string ConfigFilePath(std::string_view runDirectory) {
  std::string path(runDirectory);
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(kConfigFileName);
  return path;
}

bool ConfigFileExists(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  struct stat info{};
  if (::stat(std::string(path).c_str(), &info) != 0) return false;
  return !S_ISDIR(info.st_mode);
}

std::string_view DefaultConfigContent() { return kDefaultContent; }

bool WriteDefaultConfigFile(std::string_view path) { return WriteFileAtomically(path, kDefaultContent); }

}  // namespace qc
