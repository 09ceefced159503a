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

// Column of the first value in a line of the usual shape, 'DD/MM/YYYY HH:MM:SS'.
constexpr size_t kValuesColumn = 20;

// Parses the date 'DD/MM/YYYY' from column 0 and the time 'HH:MM:SS' of
// [line, line + size): from column 11 when the date ends at column 10, else
// right where the date ends. Each number field skips leading white space and
// takes one optional sign and at most 2 (year: 4) characters. A '.' right
// after the seconds starts a fraction, whose first three digits are the
// milliseconds. Returns false when a field does not parse, a '.' has no digit
// after it, or a field lies outside the calendar (years 1601-30827).
// On success `values_column` is where the values begin: one column past the
// fraction, else one past the seconds; but 20 when the seconds end before
// column 19 followed by blanks only up to it and column 19 holds white space
// or `separator`, as in a line padded to the usual shape.
bool parse_line_timestamp(const char* line, size_t size, char separator, LineTimestamp& stamp,
                          size_t& values_column);

// The first 16 bytes, 'DD/MM/YYYY HH:MM', of the last valid line read in the usual shape, and
// its fields: the lines of a log mostly share them. An empty cache holds zero bytes.
struct StampCache {
  uint64_t date = 0;    // bytes 0-7
  uint64_t middle = 0;  // bytes 8-15
  LineTimestamp stamp;
};

// parse_line_timestamp, with the same results whatever `cache` holds: a line whose first 16
// bytes are the cached ones has only its seconds read. Each line read in the usual shape
// becomes the cached one.
bool parse_line_timestamp(const char* line, size_t size, char separator, LineTimestamp& stamp,
                          size_t& values_column, StampCache& cache);

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
