#include "app/date_time.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <limits>

namespace qc {
namespace {

using std::chrono::days;
using std::chrono::sys_days;

constexpr sys_days kOleEpoch = sys_days{std::chrono::year{1899} / 12 / 30};
// Day numbers of 0100-01-01 and 9999-12-31, the range OLE dates cover.
constexpr long long kFirstOleDay = -657434;
constexpr long long kLastOleDay = 2958465;
constexpr int kSecondsPerDay = 86400;
// A formatted part that does not fit the formatter's 50-byte buffer
// (terminator included) is dropped, as the platform call fails then.
constexpr std::size_t kMaxPartBytes = 49;

bool IsGbkLead(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x81 && b <= 0xFE;
}

std::size_t RunLength(std::string_view picture, std::size_t i) {
  std::size_t n = 1;
  while (i + n < picture.size() && picture[i + n] == picture[i]) ++n;
  return n;
}

void AppendNumber(Text& out, int value, bool twoDigits) {
  if (twoDigits && value < 10) out.push_back('0');
  out += std::to_string(value);
}

// The first character of a marker, a two-byte one included.
std::string_view FirstCharacter(std::string_view marker) {
  if (marker.empty()) return marker;
  return marker.substr(0, (IsGbkLead(marker[0]) && marker.size() > 1) ? 2 : 1);
}

Text FormatDatePart(const DateTimeFields& f, std::string_view picture) {
  Text out;
  std::size_t i = 0;
  while (i < picture.size()) {
    const char c = picture[i];
    if (IsGbkLead(c)) {
      // A two-byte character is copied whole; its trail byte is no picture.
      const std::size_t n = (i + 1 < picture.size()) ? 2 : 1;
      out.append(picture.substr(i, n));
      i += n;
      continue;
    }
    const std::size_t n = RunLength(picture, i);
    if (c == 'y') {
      if (n >= 3) {
        if (f.year < 1000) out.append(f.year < 100 ? "00" : "0");
        out += std::to_string(f.year);
      } else {
        AppendNumber(out, f.year % 100, n == 2);
      }
    } else if ((c == 'M' || c == 'd') && n <= 2) {
      AppendNumber(out, c == 'M' ? f.month : f.day, n == 2);
    } else {
      out.append(picture.substr(i, n));
    }
    i += n;
  }
  return out;
}

Text FormatTimePart(const DateTimeFields& f, std::string_view picture, bool force24Hour, const DayMarkers& markers) {
  Text out;
  const std::string_view marker = f.hour < 12 ? markers.am : markers.pm;
  std::size_t i = 0;
  while (i < picture.size()) {
    const char c = picture[i];
    if (IsGbkLead(c)) {
      const std::size_t n = (i + 1 < picture.size()) ? 2 : 1;
      out.append(picture.substr(i, n));
      i += n;
      continue;
    }
    const std::size_t n = RunLength(picture, i);
    const bool twoDigits = n >= 2;
    switch (c) {
      case 'h': {
        int hour = f.hour;
        if (!force24Hour) {
          hour %= 12;
          if (hour == 0) hour = 12;
        }
        AppendNumber(out, hour, twoDigits);
        break;
      }
      case 'H':
        AppendNumber(out, f.hour, twoDigits);
        break;
      case 'm':
        AppendNumber(out, f.minute, twoDigits);
        break;
      case 's':
        AppendNumber(out, f.second, twoDigits);
        break;
      case 't':
        out.append(n == 1 ? FirstCharacter(marker) : marker);
        break;
      default:
        out.append(picture.substr(i, n));
        break;
    }
    i += n;
  }
  return out;
}

const char* FirstSetVariable(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "";
}

}  // namespace

std::optional<double> OleDateFromFields(const DateTimeFields& f) {
  using namespace std::chrono;
  if (f.year < 100 || f.year > 9999) return std::nullopt;
  const year_month_day date{year{f.year}, month{static_cast<unsigned>(f.month)}, day{static_cast<unsigned>(f.day)}};
  if (f.month < 1 || f.month > 12 || f.day < 1 || !date.ok()) return std::nullopt;
  if (f.hour < 0 || f.hour > 23 || f.minute < 0 || f.minute > 59 || f.second < 0 || f.second > 59 ||
      f.millisecond < 0 || f.millisecond > 999) {
    return std::nullopt;
  }
  const double dayNumber = static_cast<double>((sys_days{date} - kOleEpoch).count());
  const double fraction =
      (f.hour * 3600.0 + f.minute * 60.0 + f.second + f.millisecond / 1000.0) / kSecondsPerDay;
  // Before the epoch the day counts backwards but the time still forwards.
  return dayNumber >= 0 ? dayNumber + fraction : dayNumber - fraction;
}

std::optional<DateTimeFields> FieldsFromOleDate(double moment) {
  using namespace std::chrono;
  if (!std::isfinite(moment)) return std::nullopt;
  if (moment <= static_cast<double>(kFirstOleDay - 1) || moment >= static_cast<double>(kLastOleDay + 1)) {
    return std::nullopt;
  }
  const double whole = std::trunc(moment);
  long long dayNumber = static_cast<long long>(whole);
  long long seconds = std::llround(std::fabs(moment - whole) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    ++dayNumber;
  }
  if (dayNumber < kFirstOleDay || dayNumber > kLastOleDay) return std::nullopt;

  const sys_days when = kOleEpoch + days{dayNumber};
  const year_month_day date{when};
  DateTimeFields f;
  f.year = static_cast<int>(date.year());
  f.month = static_cast<int>(static_cast<unsigned>(date.month()));
  f.day = static_cast<int>(static_cast<unsigned>(date.day()));
  f.dayOfWeek = static_cast<int>(weekday{when}.c_encoding());
  f.hour = static_cast<int>(seconds / 3600);
  f.minute = static_cast<int>(seconds / 60 % 60);
  f.second = static_cast<int>(seconds % 60);
  return f;
}

double OleDateFromLocalTime(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const std::time_t t = system_clock::to_time_t(when);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return std::numeric_limits<double>::quiet_NaN();
  DateTimeFields f;
  f.year = local.tm_year + 1900;
  f.month = local.tm_mon + 1;
  f.day = local.tm_mday;
  f.hour = local.tm_hour;
  f.minute = local.tm_min;
  f.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second
  return OleDateFromFields(f).value_or(std::numeric_limits<double>::quiet_NaN());
}

double OleDateNow() { return OleDateFromLocalTime(std::chrono::system_clock::now()); }

DayMarkers DayMarkersForLocale(std::string_view localeName) {
  const bool chinese = localeName.size() >= 2 && (localeName[0] == 'z' || localeName[0] == 'Z') &&
                       (localeName[1] == 'h' || localeName[1] == 'H');
  if (chinese) return {"\xC9\xCF\xCE\xE7", "\xCF\xC2\xCE\xE7"};  // 上午, 下午
  return {"AM", "PM"};
}

DayMarkers UserDayMarkers() { return DayMarkersForLocale(FirstSetVariable({"LC_ALL", "LC_TIME", "LANG"})); }

Text FormatDateTime(double moment, std::string_view datePicture, std::string_view timePicture, bool force24Hour,
                    const DayMarkers& markers) {
  if (datePicture.empty() && timePicture.empty()) return {};
  const std::optional<DateTimeFields> fields = FieldsFromOleDate(moment);
  if (!fields) return {};
  Text datePart;
  if (datePicture.size() >= 3) datePart = FormatDatePart(*fields, datePicture);
  if (datePart.size() > kMaxPartBytes) datePart.clear();
  Text timePart;
  if (timePicture.size() >= 3) timePart = FormatTimePart(*fields, timePicture, force24Hour, markers);
  if (timePart.size() > kMaxPartBytes) timePart.clear();
  return datePart + timePart;
}

Text FormatDateTime(double moment, std::string_view datePicture, std::string_view timePicture, bool force24Hour) {
  return FormatDateTime(moment, datePicture, timePicture, force24Hour, UserDayMarkers());
}

}  // namespace qc
