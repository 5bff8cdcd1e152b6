#include "app/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

namespace qc {
namespace {

const DayMarkers kEnglish{"AM", "PM"};
const DayMarkers kChinese{"\xC9\xCF\xCE\xE7", "\xCF\xC2\xCE\xE7"};  // 上午, 下午

double Moment(int year, int month, int day, int hour, int minute, int second) {
  DateTimeFields f;
  f.year = year;
  f.month = month;
  f.day = day;
  f.hour = hour;
  f.minute = minute;
  f.second = second;
  const std::optional<double> ole = OleDateFromFields(f);
  EXPECT_TRUE(ole.has_value());
  return ole.value_or(std::numeric_limits<double>::quiet_NaN());
}

TEST(FormatDateTime, TheProgramsThreePictures) {
  const double afternoon = Moment(2022, 1, 10, 15, 4, 5);
  EXPECT_EQ(FormatDateTime(afternoon, "", "tt,hh:mm:ss", false, kEnglish), "PM,03:04:05");
  EXPECT_EQ(FormatDateTime(afternoon, "", "tt,hh:mm:ss", false, kChinese), "\xCF\xC2\xCE\xE7,03:04:05");
  EXPECT_EQ(FormatDateTime(afternoon, "yyyy-MM-dd", " hh:mm:ss", true, kEnglish), "2022-01-10 15:04:05");
  EXPECT_EQ(FormatDateTime(afternoon, "yyyy-MM-dd", "", false, kEnglish), "2022-01-10");
  const double morning = Moment(2022, 1, 10, 3, 4, 5);
  EXPECT_EQ(FormatDateTime(morning, "", "tt,hh:mm:ss", false, kChinese), "\xC9\xCF\xCE\xE7,03:04:05");
}

TEST(FormatDateTime, PicturesAndClocks) {
  struct Case {
    double moment;
    std::string date;
    std::string time;
    bool force24;
    std::string expected;
  };
  const double midnight = Moment(2022, 1, 10, 0, 30, 0);
  const double noon = Moment(2022, 1, 10, 12, 0, 9);
  const double early = Moment(905, 3, 4, 7, 8, 9);
  const std::vector<Case> cases = {
      {midnight, "", "hh:mm tt", false, "12:30 AM"},
      {midnight, "", "hh:mm", true, "00:30"},
      {noon, "", "h:m:s t", false, "12:0:9 P"},
      {noon, "", "HH:mm", false, "12:00"},
      {early, "d/M/yy", "", false, "4/3/05"},
      {early, "dd.MM.y yyyy", "", false, "04.03.5 0905"},
      {noon, "yyyy\xC4\xEA" "MM\xD4\xC2", "", false, "2022\xC4\xEA" "01\xD4\xC2"},  // 年, 月 copied
      {noon, "\x81\x64-dd", "", false, "\x81\x64-10"},  // a trail byte 'd' is no day picture
      {noon, "MMM ddd", "", false, "MMM ddd"},         // names are not supported: copied
      {noon, "MM", "hh", false, ""},                   // pictures under 3 bytes give nothing
      {noon, "MM", "hh:mm", false, "12:00"},
      {noon, "", "", false, ""},
      {noon, std::string(49, '-'), "", false, std::string(49, '-')},
      {noon, std::string(50, '-'), "ss:", false, "09:"},  // a part over 49 bytes is dropped
      {std::nan(""), "yyyy-MM-dd", "hh:mm", false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDateTime(c.moment, c.date, c.time, c.force24, kEnglish), c.expected) << c.date << c.time;
  }
}

TEST(OleDate, ConvertsToCalendarFields) {
  struct Case {
    double moment;
    std::string expected;  // empty: not a usable moment
  };
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Case> cases = {
      {0.0, "1899-12-30 00:00:00"},
      {1.5, "1899-12-31 12:00:00"},
      {-1.25, "1899-12-29 06:00:00"},  // before the epoch the time still counts forward
      {-0.5, "1899-12-30 12:00:00"},
      {44571.0 + 54245.0 / 86400, "2022-01-10 15:04:05"},
      {44571.0 + 0.4 / 86400, "2022-01-10 00:00:00"},
      {44571.0 + 0.6 / 86400, "2022-01-10 00:00:01"},  // to the nearest second
      {44571.0 + 86399.7 / 86400, "2022-01-11 00:00:00"},
      {-657434.0, "0100-01-01 00:00:00"},
      {2958465.0 + 86399.0 / 86400, "9999-12-31 23:59:59"},
      {2958465.0 + 86399.9 / 86400, ""},  // rounds into the year 10000
      {-657435.0, ""},
      {1e300, ""},
      {inf, ""},
      {-inf, ""},
      {std::nan(""), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDateTime(c.moment, "yyyy-MM-dd", " HH:mm:ss", false, kEnglish), c.expected) << c.moment;
  }
  const std::optional<DateTimeFields> monday = FieldsFromOleDate(44571.5);
  ASSERT_TRUE(monday);
  EXPECT_EQ(monday->dayOfWeek, 1);
}

TEST(OleDate, FromFieldsRoundTripsAndRejectsBadFields) {
  const std::vector<DateTimeFields> good = {
      {2000, 2, 0, 29, 23, 59, 59, 0}, {1899, 12, 0, 29, 6, 0, 0, 0}, {100, 1, 0, 1, 0, 0, 0, 0},
      {9999, 12, 0, 31, 23, 59, 59, 0}, {1970, 1, 0, 1, 12, 0, 1, 0},
  };
  for (const DateTimeFields& f : good) {
    const std::optional<double> ole = OleDateFromFields(f);
    ASSERT_TRUE(ole);
    const std::optional<DateTimeFields> back = FieldsFromOleDate(*ole);
    ASSERT_TRUE(back);
    EXPECT_EQ(std::tie(back->year, back->month, back->day, back->hour, back->minute, back->second),
              std::tie(f.year, f.month, f.day, f.hour, f.minute, f.second));
  }
  const std::vector<DateTimeFields> bad = {
      {2021, 2, 0, 29, 0, 0, 0, 0}, {2021, 13, 0, 1, 0, 0, 0, 0}, {2021, 0, 0, 1, 0, 0, 0, 0},
      {2021, 1, 0, 0, 0, 0, 0, 0},  {2021, 1, 0, 1, 24, 0, 0, 0}, {2021, 1, 0, 1, 0, 60, 0, 0},
      {2021, 1, 0, 1, 0, 0, 60, 0}, {2021, 1, 0, 1, 0, 0, 0, 1000}, {99, 1, 0, 1, 0, 0, 0, 0},
      {10000, 1, 0, 1, 0, 0, 0, 0}, {2021, 1, 0, 1, -1, 0, 0, 0},
  };
  for (const DateTimeFields& f : bad) EXPECT_FALSE(OleDateFromFields(f)) << f.year << "-" << f.month << "-" << f.day;
}

// Sets environment variables for one test and puts them back after it.
class ScopedEnvironment {
 public:
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old != nullptr, old ? old : ""});
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->present) {
        setenv(it->name.c_str(), it->value.c_str(), 1);
      } else {
        unsetenv(it->name.c_str());
      }
    }
    tzset();
  }

 private:
  struct Saved {
    std::string name;
    bool present;
    std::string value;
  };
  std::vector<Saved> saved_;
};

TEST(OleDate, FromLocalTime) {
  ScopedEnvironment env;
  env.Set("TZ", "UTC");
  tzset();
  const auto when = std::chrono::system_clock::time_point{std::chrono::seconds{1641827045}};
  EXPECT_EQ(FormatDateTime(OleDateFromLocalTime(when), "yyyy-MM-dd", " HH:mm:ss", false, kEnglish),
            "2022-01-10 15:04:05");
  env.Set("TZ", "CST-8");
  tzset();
  EXPECT_EQ(FormatDateTime(OleDateFromLocalTime(when), "yyyy-MM-dd", " HH:mm:ss", false, kEnglish),
            "2022-01-10 23:04:05");
}

TEST(DayMarkers, ChineseLocalesSayShangwuXiawu) {
  for (const char* name : {"zh_CN.UTF-8", "zh_CN.GBK", "zh_TW", "zh"}) {
    EXPECT_EQ(DayMarkersForLocale(name).am, kChinese.am) << name;
    EXPECT_EQ(DayMarkersForLocale(name).pm, kChinese.pm) << name;
  }
  for (const char* name : {"en_US.UTF-8", "C", "", "z"}) EXPECT_EQ(DayMarkersForLocale(name).am, "AM") << name;

  ScopedEnvironment env;
  env.Set("LC_ALL", "");
  env.Set("LC_TIME", "zh_CN.UTF-8");
  env.Set("LANG", "en_US.UTF-8");
  EXPECT_EQ(UserDayMarkers().pm, kChinese.pm);
  env.Set("LC_ALL", "C");
  EXPECT_EQ(UserDayMarkers().pm, "PM");
  EXPECT_EQ(FormatDateTime(Moment(2022, 1, 10, 15, 4, 5), "", " tt"), " PM");
}

}  // namespace
}  // namespace qc
