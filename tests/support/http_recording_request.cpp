#include "support/http_recording_request.h"

#include <strings.h>

namespace qc::test {
namespace {

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (auto part : parts) {
    if (!out.empty()) out += ", ";
    out += part;
  }
  return out;
}

std::string OptionText(const OptionValue& value) {
  if (auto number = std::get_if<long long>(&value)) return std::to_string(*number);
  return std::get<Text>(value);
}

}  // namespace

std::vector<std::string> RecordingRequest::CallsNamed(const std::string& name) const {
  std::vector<std::string> out;
  for (const auto& call : calls) {
    if (call.compare(0, name.size() + 1, name + "(") == 0) out.push_back(call);
  }
  return out;
}

std::vector<std::string> RecordingRequest::HeadersSet() const {
  std::vector<std::string> out;
  const std::string prefix = "SetRequestHeader(";
  for (const auto& call : calls) {
    if (call.compare(0, prefix.size(), prefix) != 0) continue;
    std::string inner = call.substr(prefix.size(), call.size() - prefix.size() - 1);
    auto comma = inner.find(", ");
    out.push_back(inner.substr(0, comma) + ": " + inner.substr(comma + 2));
  }
  return out;
}

void RecordingRequest::SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) {
  calls.push_back("SetTimeouts(" + Join({std::to_string(resolveMs), std::to_string(connectMs),
                                         std::to_string(sendMs), std::to_string(receiveMs)}) + ")");
}

void RecordingRequest::SetProxy(int setting, std::string_view proxy, std::string_view bypass) {
  calls.push_back("SetProxy(" + Join({std::to_string(setting), proxy, bypass}) + ")");
}

void RecordingRequest::Open(std::string_view method, std::string_view url, bool async) {
  calls.push_back("Open(" + Join({method, url, async ? "true" : "false"}) + ")");
  current_ = Reply{0, "", "", ""};
}

void RecordingRequest::SetOption(int index, const OptionValue& value) {
  calls.push_back("SetOption(" + Join({std::to_string(index), OptionText(value)}) + ")");
  options_[index] = value;
}

OptionValue RecordingRequest::GetOption(int index) {
  auto it = options_.find(index);
  return it == options_.end() ? OptionValue{0LL} : it->second;
}

void RecordingRequest::SetCredentials(std::string_view user, std::string_view password, int forWhom) {
  calls.push_back("SetCredentials(" + Join({user, password, std::to_string(forWhom)}) + ")");
}

void RecordingRequest::SetRequestHeader(std::string_view name, std::string_view value) {
  calls.push_back("SetRequestHeader(" + Join({name, value}) + ")");
}

void RecordingRequest::SetClientCertificate(std::string_view certificate) {
  calls.push_back("SetClientCertificate(" + std::string(certificate) + ")");
}

void RecordingRequest::SetAutoLogonPolicy(int policy) {
  calls.push_back("SetAutoLogonPolicy(" + std::to_string(policy) + ")");
}

void RecordingRequest::TakeReply() {
  if (replies.empty()) {
    current_ = Reply{0, "", "", ""};
    return;
  }
  current_ = replies.front();
  replies.pop_front();
}

void RecordingRequest::Send() {
  calls.push_back("Send()");
  TakeReply();
}

void RecordingRequest::SendText(std::string_view body) {
  calls.push_back("SendText(" + std::string(body) + ")");
  TakeReply();
}

void RecordingRequest::SendBytes(std::string_view body) {
  calls.push_back("SendBytes(" + std::string(body) + ")");
  TakeReply();
}

bool RecordingRequest::WaitForResponse(int seconds) {
  calls.push_back("WaitForResponse(" + std::to_string(seconds) + ")");
  return true;
}

void RecordingRequest::Abort() { calls.push_back("Abort()"); }

Bytes RecordingRequest::ResponseBody() { return current_.body; }
Text RecordingRequest::ResponseText() { return current_.body; }
Text RecordingRequest::GetAllResponseHeaders() { return current_.headers; }

Text RecordingRequest::GetResponseHeader(std::string_view name) {
  std::string_view headers = current_.headers;
  while (!headers.empty()) {
    auto end = headers.find("\r\n");
    std::string_view line = headers.substr(0, end);
    auto colon = line.find(':');
    if (colon == name.size() && ::strncasecmp(line.data(), name.data(), name.size()) == 0) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return Text(value);
    }
    if (end == std::string_view::npos) break;
    headers.remove_prefix(end + 2);
  }
  return {};
}

int RecordingRequest::Status() { return current_.status; }
Text RecordingRequest::StatusText() { return current_.statusText; }
Text RecordingRequest::LastError() { return current_.status == 0 ? Text("no reply") : Text(); }

}  // namespace qc::test
