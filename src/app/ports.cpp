#include "app/ports.h"

#include "app/date_time.h"

namespace qc {
double SystemClock::Now() const { return OleDateNow(); }

#define QC_WINDOW_TEXT(name, utf8)          \
  const Text& name() {                      \
    static const Text text = Utf8ToText(utf8); \
    return text;                            \
  }

QC_WINDOW_TEXT(CaptionIdle, "开始")
QC_WINDOW_TEXT(CaptionCrawling, "停止采集开始推送")
QC_WINDOW_TEXT(CaptionPushing, "正在推送")
QC_WINDOW_TEXT(CrawlCountTag, "爬虫获取URL数：%s")
QC_WINDOW_TEXT(ProgressTag, "提交URL进度：")
QC_WINDOW_TEXT(SuccessTag, "推送成功条数：")
QC_WINDOW_TEXT(SubmittedTag, "推送条数：")
QC_WINDOW_TEXT(RemainTag, "所剩配额数量：")
QC_WINDOW_TEXT(WindowCaptionTag, "Quillcast 版本：%s")

#undef QC_WINDOW_TEXT

}  // namespace qc
