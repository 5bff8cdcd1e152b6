// The push client: submits URLs to the link-submission interface and reads
// its JSON reply.
#pragma once

#include <string_view>

#include "http/encoding.h"

namespace qc {

// The reply's four members as texts; a missing member (or a reply that is
// not JSON, or no reply) gives the empty text.
struct PushResult {
  Text success;
  Text remain;
  Text not_same_site;
  Text not_valid;
};

// POST pushApiBase + "/urls?site=" + site + "&token=" + token with `urls`
// as the body (UTF-8 on the wire). Site and token go in unchanged.
// `timeoutSeconds` 0 keeps the request's default of 15 s per phase.
PushResult PushUrls(std::string_view pushApiBase, std::string_view site, std::string_view token,
                    std::string_view urls, int timeoutSeconds = 0);

}  // namespace qc
