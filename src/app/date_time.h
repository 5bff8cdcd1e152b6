// The program's one date and time formatter, over OLE automation dates:
// a double counting days since 1899-12-30 00:00, the time of day as the
// fraction (for days before that date the fraction still counts forward
// from midnight, as OLE dates do: -1.25 is 1899-12-29 06:00).
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include "http/encoding.h"

namespace qc {

struct DateTimeFields {
  int year = 0;        // 100 .. 9999
  int month = 0;       // 1 .. 12
  int dayOfWeek = 0;   // 0 = Sunday; ignored on the way in
  int day = 0;         // 1 .. 31
  int hour = 0;        // 0 .. 23
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Calendar fields to an OLE date; empty when a field is out of range.
std::optional<double> OleDateFromFields(const DateTimeFields& fields);
// An OLE date to calendar fields, rounded to the nearest second (the
// millisecond field is 0). Empty for NaN, infinities and moments outside
// 0100-01-01 .. 9999-12-31 23:59:59.
std::optional<DateTimeFields> FieldsFromOleDate(double moment);

// A system time as the local wall-clock time (the process's time zone),
// and the current local time, both in whole seconds: a clock must not show
// a second that has not begun, as rounding the milliseconds would.
double OleDateFromLocalTime(std::chrono::system_clock::time_point when);
double OleDateNow();

// The morning and afternoon markers the "t" and "tt" pictures print.
struct DayMarkers {
  Text am;
  Text pm;
};
// The markers of a locale name as the environment spells it: "上午"/"下午"
// (GBK) for a Chinese locale (a name starting with "zh"), "AM"/"PM" for
// any other.
DayMarkers DayMarkersForLocale(std::string_view localeName);
// The user's markers: the locale of LC_ALL, else LC_TIME, else LANG.
DayMarkers UserDayMarkers();

// Formats `moment` by a date picture and a time picture, date part first.
// A picture shorter than 3 bytes gives an empty part; a part that would
// not fit 49 bytes is empty too. Date pictures: yyyy (year, 4 digits), yy
// and y (2 digits; y without a leading zero), MM, M, dd, d. Time pictures:
// hh, h (12-hour clock; 24-hour when `force24Hour`), HH, H (24-hour), mm,
// m, ss, s, tt (marker), t (its first character). Every other character is
// copied. An unusable moment gives the empty text.
Text FormatDateTime(double moment, std::string_view datePicture, std::string_view timePicture, bool force24Hour,
                    const DayMarkers& markers);
Text FormatDateTime(double moment, std::string_view datePicture = {}, std::string_view timePicture = {},
                    bool force24Hour = false);

}  // namespace qc
