#include "convert/line_timestamp.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "common/digits.h"
#include "common/text_scan.h"
#include "common/ticks.h"

namespace {

constexpr size_t kDateEnd = 10;
constexpr size_t kTimeColumn = 11;
constexpr size_t kFractionColumn = 19;

struct Cursor {
  const char* line;
  size_t size;
  size_t pos;
};

// One number field: white space, then at most `width` characters of sign and digits.
bool read_field(Cursor& c, int width, int& value) {
  while (c.pos < c.size && is_space(c.line[c.pos])) ++c.pos;
  bool negative = false;
  int used = 0;
  if (c.pos < c.size && (c.line[c.pos] == '+' || c.line[c.pos] == '-')) {
    negative = c.line[c.pos++] == '-';
    ++used;
  }
  int digits = 0;
  value = 0;
  for (; used < width && c.pos < c.size && is_digit(c.line[c.pos]); ++used, ++digits) {
    value = value * 10 + (c.line[c.pos++] - '0');
  }
  if (negative) value = -value;
  return digits > 0;
}

bool expect(Cursor& c, char literal) {
  if (c.pos >= c.size || c.line[c.pos] != literal) return false;
  ++c.pos;
  return true;
}

// Days in a month (1-12) of a year, February of a leap year included.
int days_in_month(int year, int month) {
  const std::chrono::year_month_day_last last{std::chrono::year{year} /
                                              std::chrono::month{static_cast<unsigned>(month)} /
                                              std::chrono::last};
  return static_cast<int>(static_cast<unsigned>(last.day()));
}

int two_digits(const char* p) {
  return (p[0] - '0') * 10 + (p[1] - '0');
}

// The usual 'DD/MM/YYYY HH:MM:SS' with every digit in place, read without the
// field rules; any other shape goes through them.
bool read_canonical(const char* line, size_t size, int& day, int& month, int& year, int& hour,
                    int& minute, int& second) {
  if (size < kFractionColumn) return false;
  uint64_t date, middle;  // "DD/MM/YY", "YY HH:MM"
  std::memcpy(&date, line, 8);
  std::memcpy(&middle, line + 8, 8);
  // Separator bytes: '/' at 2 and 5; ' ' at 10, ':' at 13 (2 and 5 of the second word).
  constexpr uint64_t kDateSeparators = uint64_t{'/'} << 16 | uint64_t{'/'} << 40;
  constexpr uint64_t kDateMask = uint64_t{0xFF} << 16 | uint64_t{0xFF} << 40;
  constexpr uint64_t kMiddleSeparators = uint64_t{' '} << 16 | uint64_t{':'} << 40;
  if (!digits::matches_shape(date, kDateSeparators, kDateMask) ||
      !digits::matches_shape(middle, kMiddleSeparators, kDateMask) || line[16] != ':' ||
      !is_digit(line[17]) || !is_digit(line[18])) {
    return false;
  }
  day = two_digits(line);
  month = two_digits(line + 3);
  year = two_digits(line + 6) * 100 + two_digits(line + 8);
  hour = two_digits(line + 11);
  minute = two_digits(line + 14);
  second = two_digits(line + 17);
  return true;
}

// The date and time by the field rules, for lines of any other shape. The
// time follows a date that ends at column 10 from column 11 on, else right
// where the date ends. `time_end` receives where the seconds end.
bool read_fields(const char* line, size_t size, int& day, int& month, int& year, int& hour,
                 int& minute, int& second, size_t& time_end) {
  Cursor date{line, size, 0};
  if (!read_field(date, 2, day) || !expect(date, '/') || !read_field(date, 2, month) ||
      !expect(date, '/') || !read_field(date, 4, year)) {
    return false;
  }
  const size_t time_start = date.pos == kDateEnd ? kTimeColumn : date.pos;
  if (size <= time_start) return false;
  Cursor time{line, size, time_start};
  if (!read_field(time, 2, hour) || !expect(time, ':') || !read_field(time, 2, minute) ||
      !expect(time, ':') || !read_field(time, 2, second)) {
    return false;
  }
  time_end = time.pos;
  return true;
}

// Whether values that follow seconds ending at `time_end`, before column 19,
// start at column 20 all the same, as in a line padded to the usual shape:
// blanks up to column 19, which holds white space or the separator.
bool padded_to_usual_shape(const char* line, size_t size, size_t time_end, char separator) {
  if (time_end >= kFractionColumn || size <= kFractionColumn) return false;
  for (size_t pos = time_end; pos < kFractionColumn; ++pos) {
    if (line[pos] != ' ') return false;
  }
  return is_space(line[kFractionColumn]) || line[kFractionColumn] == separator;
}

// An AM or PM marker after the time, if any.
enum class Marker : uint8_t { kNone, kAm, kPm };

// The date and time fields as read, before the range checks; `hour` as written.
struct Fields {
  int day, month, year, hour, minute, second, millisecond;
  Marker marker;
};

enum class Fault { kNone, kShape, kFraction, kYear, kMonth, kDay, kHour, kMinute, kSecond, kClock };

// The digits of a fraction from `pos` on, whose first three are the milliseconds; returns where
// they end.
[[gnu::always_inline]] inline size_t read_fraction(const char* line, size_t size, size_t pos,
                                                   int& millisecond) {
  int scale = 100;
  for (; pos < size && is_digit(line[pos]); ++pos) {
    millisecond += (line[pos] - '0') * scale;
    scale /= 10;
  }
  return pos;
}

// Whether `pos` may start a marker: a blank, then 'A' or 'P' in any case. A cheap test that
// keeps the usual lines off the full reading.
[[gnu::always_inline]] inline bool may_start_marker(const char* line, size_t size, size_t pos) {
  if (pos + 2 >= size || line[pos] != ' ') return false;
  const char letter = static_cast<char>(line[pos + 1] | 0x20);
  return letter == 'a' || letter == 'p';
}

// Whether what stops at `pos` ends a field there: the line's end, white space or the separator.
inline bool ends_at(const char* line, size_t size, size_t pos, char separator) {
  return pos == size || is_space(line[pos]) || line[pos] == separator;
}

// The marker at `pos`: one blank, 'AM' or 'PM' in any case, then the line's end, white space
// or the separator. `end` receives where it ends.
Marker read_marker(const char* line, size_t size, size_t pos, char separator, size_t& end) {
  if (!may_start_marker(line, size, pos) || (line[pos + 2] | 0x20) != 'm' ||
      !ends_at(line, size, pos + 3, separator)) {
    return Marker::kNone;
  }
  end = pos + 3;
  return (line[pos + 1] | 0x20) == 'a' ? Marker::kAm : Marker::kPm;
}

// Where the values start after seconds that end at `time_end` and nothing else the time
// carries: column 20 in the usual shape or padded to it, else one column past the seconds.
[[gnu::always_inline]] inline size_t plain_values_column(const char* line, size_t size,
                                                         size_t time_end, char separator) {
  if (time_end == kFractionColumn || padded_to_usual_shape(line, size, time_end, separator))
      [[likely]] {
    return kValuesColumn;
  }
  return time_end + 1;
}

// What a ',' or a marker after the seconds gives.
struct Tail {
  size_t values_column;
  int millisecond;
  Marker marker;
};

// What follows seconds ending at `time_end`, where a ',' follows them or a marker may follow
// them or their '.' fraction: a fraction, after a ',' only when its digits end at the line's end,
// white space or the separator (and the separator is not ',', which then ends the time's
// column), then a marker. Anything else is read as if neither were there.
Tail read_unusual_tail(const char* line, size_t size, size_t time_end, char separator) {
  Tail tail{0, 0, Marker::kNone};
  size_t end = time_end;
  if (line[time_end] == '.' || (line[time_end] == ',' && separator != ',')) {
    int fraction = 0;
    const size_t digits_end = read_fraction(line, size, time_end + 1, fraction);
    if (line[time_end] == '.' ||
        (digits_end > time_end + 1 && ends_at(line, size, digits_end, separator))) {
      tail.millisecond = fraction;
      end = digits_end;
    }
  }
  tail.marker = read_marker(line, size, end, separator, end);
  tail.values_column =
      end == time_end ? plain_values_column(line, size, time_end, separator) : end + 1;
  return tail;
}

enum class AfterSeconds { kRead, kNoFractionDigits, kUnusual };

// What follows seconds ending at `time_end` in the usual lines: nothing the time carries, or a
// '.' fraction, whose first three digits are the milliseconds; and where the values start.
// kUnusual, with nothing read, where read_unusual_tail is needed: a ',' after the seconds, or a
// blank and 'A' or 'P' after them or their fraction.
[[gnu::always_inline]] inline AfterSeconds read_after_seconds(const char* line, size_t size,
                                                              size_t time_end, char separator,
                                                              int& millisecond,
                                                              size_t& values_column) {
  millisecond = 0;
  if (time_end < size && line[time_end] == '.') {
    // The values start one column past the fraction's end.
    const size_t pos = read_fraction(line, size, time_end + 1, millisecond);
    if (pos == time_end + 1) return AfterSeconds::kNoFractionDigits;
    if (pos < size && line[pos] == ' ' && may_start_marker(line, size, pos)) [[unlikely]]
      return AfterSeconds::kUnusual;
    values_column = pos + 1;
    return AfterSeconds::kRead;
  }
  // One test lets a TAB, a ';' or a digit after the seconds straight through: only ',', ' ' and
  // the other even bytes from ' ' to '.' pass it.
  if (time_end < size && (line[time_end] | 0x0E) == '.' &&
      (line[time_end] == ',' || may_start_marker(line, size, time_end))) [[unlikely]] {
    return AfterSeconds::kUnusual;
  }
  values_column = plain_values_column(line, size, time_end, separator);
  return AfterSeconds::kRead;
}

// The hour 0-23 as written with `marker` on the 24-hour clock: hours 1-12 on the 12-hour clock;
// 0 AM and 13-23 PM, already on the 24-hour clock, as written (kMarked24Hour). kRefused when the
// marker contradicts the hour (0 PM, 13-23 AM).
TimestampRead clock_hour(int& hour, Marker marker) {
  if (marker == Marker::kNone) return TimestampRead::kRead;
  const bool pm = marker == Marker::kPm;
  if (hour >= 1 && hour <= 12) {
    hour = hour % 12 + (pm ? 12 : 0);
    return TimestampRead::kRead;
  }
  return pm == (hour > 12) ? TimestampRead::kMarked24Hour : TimestampRead::kRefused;
}

// Inlined into parse_and_cache, which every line the cache does not hold goes through.
// `canonical` tells whether the line starts in the usual shape; `hour` receives the hour on the
// 24-hour clock, `clock` what clock_hour made of it.
[[gnu::always_inline]] inline Fault read_timestamp(const char* line, size_t size, char separator,
                                                   bool month_first, Fields& f,
                                                   size_t& values_column, bool& canonical,
                                                   int& hour, TimestampRead& clock) {
  size_t time_end = kFractionColumn;
  canonical = read_canonical(line, size, f.day, f.month, f.year, f.hour, f.minute, f.second);
  if (!canonical &&
      !read_fields(line, size, f.day, f.month, f.year, f.hour, f.minute, f.second, time_end)) {
    return Fault::kShape;
  }
  if (month_first) [[unlikely]]
    std::swap(f.day, f.month);
  f.marker = Marker::kNone;
  const AfterSeconds after =
      read_after_seconds(line, size, time_end, separator, f.millisecond, values_column);
  if (after == AfterSeconds::kNoFractionDigits) return Fault::kFraction;
  if (after == AfterSeconds::kUnusual) [[unlikely]] {
    const Tail tail = read_unusual_tail(line, size, time_end, separator);
    f.millisecond = tail.millisecond;
    f.marker = tail.marker;
    values_column = tail.values_column;
  }
  if (f.year < 1601 || f.year > 30827) return Fault::kYear;
  if (f.month < 1 || f.month > 12) return Fault::kMonth;
  if (f.day < 1 || f.day > days_in_month(f.year, f.month)) return Fault::kDay;
  if (f.hour < 0 || f.hour > 23) return Fault::kHour;
  if (f.minute < 0 || f.minute > 59) return Fault::kMinute;
  if (f.second < 0 || f.second > 59) return Fault::kSecond;
  hour = f.hour;
  clock = clock_hour(hour, f.marker);
  return clock == TimestampRead::kRefused ? Fault::kClock : Fault::kNone;
}

// read_line_timestamp for a line the cache does not hold.
[[gnu::noinline]] TimestampRead parse_and_cache(const char* line, size_t size, char separator,
                                                LineTimestamp& stamp, size_t& values_column,
                                                StampCache& cache) {
  Fields f;
  bool canonical;
  int hour = 0;
  TimestampRead clock = TimestampRead::kRead;
  if (read_timestamp(line, size, separator, cache.month_first, f, values_column, canonical, hour,
                     clock) != Fault::kNone) {
    return TimestampRead::kRefused;
  }
  stamp.year = static_cast<uint16_t>(f.year);
  stamp.month = static_cast<uint16_t>(f.month);
  stamp.day_of_week = 0;
  stamp.day = static_cast<uint16_t>(f.day);
  stamp.hour = static_cast<uint16_t>(f.hour);
  stamp.minute = static_cast<uint16_t>(f.minute);
  stamp.second = static_cast<uint16_t>(f.second);
  stamp.millisecond = static_cast<uint16_t>(f.millisecond);
  if (canonical) {
    std::memcpy(&cache.date, line, 8);
    std::memcpy(&cache.middle, line + 8, 8);
    cache.stamp = stamp;
  }
  stamp.hour = static_cast<uint16_t>(hour);
  return clock;
}

// read_line_timestamp for a line the cache holds, with a ',' or a marker after its seconds.
[[gnu::noinline]] TimestampRead parse_cached_unusual(const char* line, size_t size, char separator,
                                                     LineTimestamp& stamp, size_t& values_column,
                                                     const StampCache& cache) {
  const Tail tail = read_unusual_tail(line, size, kFractionColumn, separator);
  int hour = cache.stamp.hour;
  const TimestampRead clock = clock_hour(hour, tail.marker);
  if (clock == TimestampRead::kRefused) return clock;
  stamp = cache.stamp;
  stamp.hour = static_cast<uint16_t>(hour);
  stamp.second = static_cast<uint16_t>(two_digits(line + 17));
  stamp.millisecond = static_cast<uint16_t>(tail.millisecond);
  values_column = tail.values_column;
  return clock;
}

}  // namespace

TimestampRead read_line_timestamp(const char* line, size_t size, char separator,
                                  LineTimestamp& stamp, size_t& values_column, StampCache& cache) {
  // A line in the usual shape whose date, hour and minute are those of the cached line needs
  // only its seconds and what follows them read: the cached fields passed every range check.
  if (size >= kFractionColumn) {
    uint64_t date, middle;
    std::memcpy(&date, line, 8);
    std::memcpy(&middle, line + 8, 8);
    // The '/' keeps an empty cache, all zero bytes, from matching a line of zero bytes.
    if (date == cache.date && middle == cache.middle && line[2] == '/' && line[16] == ':' &&
        is_digit(line[17]) && is_digit(line[18])) [[likely]] {
      const int second = two_digits(line + 17);
      if (second > 59) return TimestampRead::kRefused;
      int millisecond;
      const AfterSeconds after =
          read_after_seconds(line, size, kFractionColumn, separator, millisecond, values_column);
      if (after == AfterSeconds::kNoFractionDigits) return TimestampRead::kRefused;
      if (after == AfterSeconds::kUnusual) [[unlikely]] {
        return parse_cached_unusual(line, size, separator, stamp, values_column, cache);
      }
      stamp = cache.stamp;
      stamp.second = static_cast<uint16_t>(second);
      stamp.millisecond = static_cast<uint16_t>(millisecond);
      return TimestampRead::kRead;
    }
  }
  return parse_and_cache(line, size, separator, stamp, values_column, cache);
}

bool parse_line_timestamp(const char* line, size_t size, char separator, LineTimestamp& stamp,
                          size_t& values_column) {
  StampCache cache;
  return parse_line_timestamp(line, size, separator, stamp, values_column, cache);
}

std::string timestamp_fault(const char* line, size_t size, char separator, bool month_first) {
  Fields f;
  size_t values_column;
  bool canonical;
  int hour = 0;
  TimestampRead clock = TimestampRead::kRead;
  const auto number = [](const char* what, int value) {
    return std::string(what) + " " + std::to_string(value) + " out of range";
  };
  switch (read_timestamp(line, size, separator, month_first, f, values_column, canonical, hour,
                         clock)) {
    case Fault::kNone:
      return "";
    case Fault::kShape:
      return "no date and time DD/MM/YYYY HH:MM:SS at the start";
    case Fault::kFraction:
      return "the '.' after the seconds is not followed by digits";
    case Fault::kYear:
      return number("year", f.year);
    case Fault::kMonth:
      return number("month", f.month) +
             (!month_first && f.month >= 13 && f.month <= 31 && f.day >= 1 && f.day <= 12
                  ? "; if the dates are MM/DD/YYYY, use --month-first"
                  : "");
    case Fault::kDay: {
      char month_year[32];
      std::snprintf(month_year, sizeof month_year, "%02d/%04d", f.month, f.year);
      return number("day", f.day) + " in " + month_year;
    }
    case Fault::kHour:
      return number("hour", f.hour);
    case Fault::kMinute:
      return number("minute", f.minute);
    case Fault::kSecond:
      return number("second", f.second);
    case Fault::kClock:
      return "hour " + std::to_string(f.hour) + " contradicts its " +
             (f.marker == Marker::kAm ? "AM" : "PM") + " marker";
  }
  return "";
}

int64_t civil_seconds(const LineTimestamp& stamp) {
  return days_from_civil(stamp.year, stamp.month, stamp.day) * 86400 + stamp.hour * 3600 +
         stamp.minute * 60 + stamp.second;
}
