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
// milliseconds; so does a ',' whose digits end at the line's end, at white
// space or at `separator`, unless `separator` is ','. A 12-hour clock marker
// may follow the seconds or their fraction: one blank, then 'AM' or 'PM' in
// any case, then the line's end, white space or `separator`. With it hours
// 1-12 are read on the 12-hour clock (12 AM is 00, 1 PM is 13); hours that
// agree with it on the 24-hour clock (0 AM, 13-23 PM) are read as written.
// Returns false when a field does not parse, a '.' has no digit after it, a
// field lies outside the calendar (years 1601-30827) or the marker
// contradicts the hour (0 PM, 13-23 AM).
// On success `stamp` holds the hour on the 24-hour clock, and `values_column`
// is where the values begin: one column past the marker, else past the
// fraction, else past the seconds; but 20 when the seconds end before column
// 19 followed by blanks only up to it and column 19 holds white space or
// `separator`, as in a line padded to the usual shape.
bool parse_line_timestamp(const char* line, size_t size, char separator, LineTimestamp& stamp,
                          size_t& values_column);

// The first 16 bytes, 'DD/MM/YYYY HH:MM', of the last valid line read in the usual shape, and
// its fields, the hour as written (before any AM or PM marker): the lines of a log mostly share
// them. An empty cache holds zero bytes. The cache also says how its lines' dates are read, so
// that the same bytes read another way never meet it: dates 'MM/DD/YYYY' when `month_first`.
struct StampCache {
  uint64_t date = 0;    // bytes 0-7
  uint64_t middle = 0;  // bytes 8-15
  LineTimestamp stamp;
  bool month_first = false;
};

// An empty cache for lines whose dates are read month first or not.
inline StampCache empty_stamp_cache(bool month_first) {
  StampCache cache;
  cache.month_first = month_first;
  return cache;
}

// What parse_line_timestamp made of a line: refused it, read it, or read a 24-hour time with a
// marker that agrees with it (0 AM, 13-23 PM), which is worth a warning.
enum class TimestampRead : uint8_t { kRefused, kRead, kMarked24Hour };

// parse_line_timestamp, with the same results whatever `cache` holds but for how dates are read:
// month first ('MM/DD/YYYY') when `cache.month_first`. A line whose first 16
// bytes are the cached ones has only its seconds and what follows them read. Each line read in
// the usual shape becomes the cached one. What it made of the line is returned rather than told
// through a seventh argument, which would go on the stack and slow the cached lines' path.
TimestampRead read_line_timestamp(const char* line, size_t size, char separator,
                                  LineTimestamp& stamp, size_t& values_column, StampCache& cache);

// read_line_timestamp as true when the line is read, and `marked_24_hour` telling kMarked24Hour.
inline bool parse_line_timestamp(const char* line, size_t size, char separator,
                                 LineTimestamp& stamp, size_t& values_column, StampCache& cache,
                                 bool& marked_24_hour) {
  const TimestampRead read =
      read_line_timestamp(line, size, separator, stamp, values_column, cache);
  marked_24_hour = read == TimestampRead::kMarked24Hour;
  return read != TimestampRead::kRefused;
}

inline bool parse_line_timestamp(const char* line, size_t size, char separator,
                                 LineTimestamp& stamp, size_t& values_column, StampCache& cache) {
  return read_line_timestamp(line, size, separator, stamp, values_column, cache) !=
         TimestampRead::kRefused;
}

// Why parse_line_timestamp refuses a line, in a few words ("month 13 out of
// range", "day 29 out of range in 02/2015", "no date and time ... at the
// start", "hour 13 contradicts its AM marker"); empty when it does not refuse it.
// Dates are read 'MM/DD/YYYY' when `month_first`; when not, a month of 13-31
// whose day would be a month suggests --month-first.
std::string timestamp_fault(const char* line, size_t size, char separator,
                            bool month_first = false);

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
