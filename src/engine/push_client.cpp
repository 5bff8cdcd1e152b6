#include "engine/push_client.h"

#include "http/http_fetch.h"
#include "text/json_document.h"

namespace qc {

PushResult PushUrls(std::string_view pushApiBase, std::string_view site, std::string_view token,
                    std::string_view urls, int timeoutSeconds) {
  JsonDocument document;

  // The URL carries the token: it is never logged, and the HTTP layer keeps
  // it out of its error texts.
  HttpFetchOptions options;
  options.url = Text(pushApiBase) + "/urls?site=" + Text(site) + "&token=" + Text(token);
  options.method = 1;
  // The default Referer would be the whole URL, token included, and libcurl
  // passes it on to wherever a redirect leads: name the interface alone.
  options.headers = "Referer: " + Text(pushApiBase) + "/urls";
  options.body = Text(urls);
  if (timeoutSeconds > 0) options.timeoutSeconds = timeoutSeconds;
  const HttpFetchResult reply = HttpFetch(options);

  document.Parse(DecodeBytesToText(reply.body));
  PushResult result;
  result.remain = document.GetText("remain");
  result.success = document.GetText("success");
  result.not_valid = document.GetText("not_valid");
  result.not_same_site = document.GetText("not_same_site");
  return result;
}

}  // namespace qc
