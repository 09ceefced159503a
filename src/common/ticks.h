// Timestamps of the history file: 100 ns ticks since 1601-01-01 00:00 UTC.
#pragma once

#include <cstdint>

using Ticks = uint64_t;

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kTicksPerMillisecond = 10'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

// Milliseconds since 1970-01-01 UTC of 1601-01-01 00:00 UTC, the first instant ticks can hold.
constexpr int64_t kFirstTicksMillisecond = -kSecondsFrom1601To1970 * 1000;

// The ticks of an instant in milliseconds since 1970-01-01 UTC, not before
// kFirstTicksMillisecond.
constexpr Ticks ticks_from_milliseconds(int64_t milliseconds) {
  return static_cast<Ticks>(milliseconds - kFirstTicksMillisecond) * kTicksPerMillisecond;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
constexpr int64_t days_from_civil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

struct CivilTime {
  int64_t year;
  int month, day, hour, minute, second;
};

// The calendar date and time of a count of seconds since 1970-01-01 00:00.
constexpr CivilTime civil_from_seconds(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    days -= 1;
  }
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  const int day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return CivilTime{year_of_era + era * 400 + (month <= 2),
                   month,
                   day,
                   static_cast<int>(rest / 3600),
                   static_cast<int>(rest / 60 % 60),
                   static_cast<int>(rest % 60)};
}
