// JsonDocument costs: the push client's parse and four reads of one reply,
// and a parse plus a full write-out of a larger document.
#include <benchmark/benchmark.h>

#include <string>

#include "http/encoding.h"
#include "text/json_document.h"

namespace {

void BM_JsonDocument_PushReply(benchmark::State& state) {
  const qc::Text reply = R"({"remain":4998,"success":1,"not_valid":["http://a.cn/x"],"not_same_site":[]})";
  for (auto _ : state) {
    qc::JsonDocument doc;
    doc.Parse(reply);
    benchmark::DoNotOptimize(doc.GetText("remain"));
    benchmark::DoNotOptimize(doc.GetText("success"));
    benchmark::DoNotOptimize(doc.GetText("not_valid"));
    benchmark::DoNotOptimize(doc.GetText("not_same_site"));
  }
}
BENCHMARK(BM_JsonDocument_PushReply);

// About 1 MiB: 5,000 records with Chinese titles, numbers and nested lists.
const qc::Text& LargeDocument() {
  static const qc::Text text = [] {
    std::string json = "{\"items\":[";
    for (int i = 0; i < 5000; ++i) {
      if (i) json += ",";
      json += "{\"id\":" + std::to_string(i) + ",\"url\":\"http://www.example.com/news/" + std::to_string(i) +
              ".html\",\"title\":\"第" + std::to_string(i) + "篇文章：行业动态与技术支持\",\"score\":" +
              std::to_string(i * 0.25) + ",\"tags\":[\"新闻\",\"公告\"],\"ok\":true}";
    }
    json += "]}";
    return qc::Utf8ToText(json);
  }();
  return text;
}

void BM_JsonDocument_ParseLarge(benchmark::State& state) {
  const qc::Text& text = LargeDocument();
  for (auto _ : state) {
    qc::JsonDocument doc;
    benchmark::DoNotOptimize(doc.Parse(text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_JsonDocument_ParseLarge)->Unit(benchmark::kMillisecond);

void BM_JsonDocument_ToTextLarge(benchmark::State& state) {
  const qc::Text& text = LargeDocument();
  qc::JsonDocument doc;
  doc.Parse(text);
  for (auto _ : state) benchmark::DoNotOptimize(doc.ToText());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_JsonDocument_ToTextLarge)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
