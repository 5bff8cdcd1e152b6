// A request object that records every call and answers from a list of
// scripted replies, so tests can check the exact calls, their arguments
// and their order without a network.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "http/request_object.h"

namespace qc::test {

class RecordingRequest : public qc::RequestObject {
 public:
  struct Reply {
    int status = 200;
    std::string statusText = "OK";
    std::string headers;  // as GetAllResponseHeaders gives them
    std::string body;
  };

  // Each Send* takes the next reply; none left means no reply came.
  std::deque<Reply> replies;
  // Every call, e.g. "Open(GET, http://a/, false)", "SetRequestHeader(Accept, */*)",
  // "SetTimeouts(15000, 15000, 15000, 15000)", "SendText(body)", "Send()".
  std::vector<std::string> calls;

  // The calls whose name is `name`, as recorded.
  std::vector<std::string> CallsNamed(const std::string& name) const;
  // "Name: value" of every SetRequestHeader call, in order.
  std::vector<std::string> HeadersSet() const;

  void SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override;
  void SetProxy(int setting, std::string_view proxy, std::string_view bypass) override;
  void Open(std::string_view method, std::string_view url, bool async) override;
  void SetOption(int index, const OptionValue& value) override;
  OptionValue GetOption(int index) override;
  void SetCredentials(std::string_view user, std::string_view password, int forWhom) override;
  void SetRequestHeader(std::string_view name, std::string_view value) override;
  void SetClientCertificate(std::string_view certificate) override;
  void SetAutoLogonPolicy(int policy) override;
  void Send() override;
  void SendText(std::string_view body) override;
  void SendBytes(std::string_view body) override;
  bool WaitForResponse(int seconds) override;
  void Abort() override;
  Bytes ResponseBody() override;
  Text ResponseText() override;
  Text GetAllResponseHeaders() override;
  Text GetResponseHeader(std::string_view name) override;
  int Status() override;
  Text StatusText() override;
  Text LastError() override;

 private:
  void TakeReply();
  std::map<int, OptionValue> options_{{kOptionEnableRedirects, 1LL}, {kOptionSslErrorIgnoreFlags, 0LL}};
  Reply current_{0, "", "", ""};
};

}  // namespace qc::test
