// The date and time at the start of a data line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The calendar fields of one data line, local time as written.
struct LineTimestamp {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t day_of_week = 0;  // always 0
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t millisecond = 0;
};

// Column of the first value in a line whose time has no fraction of a second.
constexpr size_t kValuesColumn = 20;

// Parses 'DD/MM/YYYY' from column 0 and 'HH:MM:SS' from column 11 of
// [line, line + size), with an optional fraction ".f..." when column 19 holds
// ".". Each number field skips leading white space and takes one optional sign
// and at most 2 (year: 4) characters. Returns false when a field does not
// parse or lies outside the calendar (years 1601-30827). On success
// `values_column` is where the values begin: 20, or one column past the
// separator that follows the fraction digits.
bool parse_line_timestamp(const char* line, size_t size, LineTimestamp& stamp,
                          size_t& values_column);

// Why parse_line_timestamp refuses a line, in a few words ("month 13 out of
// range", "day 29 out of range in 02/2015", "no date and time ... at the
// start"); empty when it does not refuse it.
std::string timestamp_fault(const char* line, size_t size);

// Seconds since 1970-01-01 00:00 of the stamp's date and time, read as if it were UTC.
int64_t civil_seconds(const LineTimestamp& stamp);

// The day count of the last date converted: consecutive lines mostly share their date.
struct DayCache {
  uint16_t year = 0, month = 0, day = 0;
  int64_t days = 0;
};

// civil_seconds, computing the day count only when the date differs from the cached one.
inline int64_t civil_seconds(const LineTimestamp& stamp, DayCache& cache) {
  if (stamp.day != cache.day || stamp.month != cache.month || stamp.year != cache.year) {
    cache = DayCache{stamp.year, stamp.month, stamp.day,
                     civil_seconds(LineTimestamp{stamp.year, stamp.month, 0, stamp.day}) / 86400};
  }
  return cache.days * 86400 + stamp.hour * 3600 + stamp.minute * 60 + stamp.second;
}
