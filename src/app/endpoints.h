// Where the program's outside services live: the optional [Endpoints]
// section of Bd_Config.ini. Each value is a base URL (scheme, host,
// optional port); a missing or empty key takes the built-in default.
#pragma once

#include <string_view>

#include "http/encoding.h"

namespace qc {

struct Endpoints {
  Text pushApi = "http://data.zz.baidu.com";  // the link-submission interface
  Text search = "http://www.baidu.com";       // the web search results page
  Text updateServer;                          // empty: none configured
};

// Reads [Endpoints] PushApi, Search and UpdateServer from the settings file
// at `configPath`. A value without a scheme is taken as http; trailing
// slashes are dropped.
Endpoints LoadEndpoints(std::string_view configPath);

}  // namespace qc
