#include "engine/indexed_check.h"

#include "app/activity_log.h"
#include "app/app_state.h"
#include "app/ports.h"
#include "http/http_client.h"

namespace qc {
namespace {

const Text& Marker(int which) {
  static const Text markers[] = {
      Utf8ToText("百度安全验证"),
      Utf8ToText("网络不给力，请稍后重试"),
      Utf8ToText("没有找到该URL。您可以直接访问"),
      Utf8ToText("很抱歉，没有找到与"),
      Utf8ToText("找到相关结果约0个"),
  };
  return markers[which];
}

}  // namespace

bool IsIndexed(const IndexedCheck& check, std::string_view url) {
  HttpClient client;
  if (check.timeoutMs) client.SetTimeouts(*check.timeoutMs, *check.timeoutMs, *check.timeoutMs, *check.timeoutMs);
  client.OpenRequest("GET", check.state.endpoints.search + "/s?wd=" + UrlEncode(url));
  client.SetAccept(
      "text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,image/apng,*/*;q=0.8,application/"
      "signed-exchange;v=b3;q=0.9");
  client.SetAcceptLanguage("zh-CN,zh;q=0.9,en;q=0.8,en-GB;q=0.7,en-US;q=0.6");
  client.SetUserAgent(
      "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/80.0.3987.16 "
      "Safari/537.36");
  client.SendText();
  const int status = client.StatusCode();
  const Text page = DecodeBytesToText(client.ResponseBytes());

  // The security check and the overload page come first, whatever their
  // status: they mean the engine will not answer us for a while.
  if (ContainsText(page, Marker(0)) || ContainsText(page, Marker(1))) {
    check.window.SetFilterIndexedChecked(false);
    check.state.filterIndexed.store(false);
    return false;
  }
  // No answer tells nothing about the URL; it is pushed rather than lost.
  if (status != 200) {
    AppendLog(check.window, check.clock, "[" + Text(url) + Utf8ToText("]收录查询失败，按未收录处理"));
    return false;
  }
  for (int notFound = 2; notFound <= 4; ++notFound) {
    if (ContainsText(page, Marker(notFound))) return false;
  }
  return true;
}

}  // namespace qc
