#include "convert/line_timestamp.h"

#include <cstring>

#include "common/text_scan.h"
#include "common/ticks.h"

namespace {

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

bool is_leap_year(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

int two_digits(const char* p) {
  return (p[0] - '0') * 10 + (p[1] - '0');
}

// True when the bytes of `x` under `separator_mask` equal `separators` and
// every other byte is a decimal digit.
inline bool matches_shape(uint64_t x, uint64_t separators, uint64_t separator_mask) {
  const uint64_t digits = x & ~separator_mask;  // separator bytes become zero, checked apart
  const uint64_t high = digits & 0xF0F0F0F0F0F0F0F0;
  const uint64_t carried = (digits + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0;
  const uint64_t pattern = 0x3030303030303030 & ~separator_mask;
  return ((high ^ pattern) | (carried ^ pattern) | ((x & separator_mask) ^ separators)) == 0;
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
  if (!matches_shape(date, kDateSeparators, kDateMask) ||
      !matches_shape(middle, kMiddleSeparators, kDateMask) || line[16] != ':' ||
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

// The date and time by the field rules, for lines of any other shape.
bool read_fields(const char* line, size_t size, int& day, int& month, int& year, int& hour,
                 int& minute, int& second, size_t& time_end) {
  Cursor date{line, size, 0};
  if (!read_field(date, 2, day) || !expect(date, '/') || !read_field(date, 2, month) ||
      !expect(date, '/') || !read_field(date, 4, year)) {
    return false;
  }
  if (size <= kTimeColumn) return false;
  Cursor time{line, size, kTimeColumn};
  if (!read_field(time, 2, hour) || !expect(time, ':') || !read_field(time, 2, minute) ||
      !expect(time, ':') || !read_field(time, 2, second)) {
    return false;
  }
  time_end = time.pos;
  return true;
}

}  // namespace

bool parse_line_timestamp(const char* line, size_t size, LineTimestamp& stamp,
                          size_t& values_column) {
  int day, month, year, hour, minute, second;
  size_t time_end = kFractionColumn;
  if (!read_canonical(line, size, day, month, year, hour, minute, second) &&
      !read_fields(line, size, day, month, year, hour, minute, second, time_end)) {
    return false;
  }

  int millisecond = 0;
  values_column = kValuesColumn;
  if (size > kFractionColumn && line[kFractionColumn] == '.') {
    // The fraction must follow the seconds directly; its first three digits
    // are the milliseconds, the values start past the separator after it.
    if (time_end != kFractionColumn) return false;
    size_t pos = kFractionColumn + 1;
    const size_t first_digit = pos;
    int scale = 100;
    for (; pos < size && is_digit(line[pos]); ++pos) {
      millisecond += (line[pos] - '0') * scale;
      scale /= 10;
    }
    if (pos == first_digit) return false;
    values_column = pos + 1;
  }

  if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 ||
      day > days_in_month(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59) {
    return false;
  }
  stamp.year = static_cast<uint16_t>(year);
  stamp.month = static_cast<uint16_t>(month);
  stamp.day_of_week = 0;
  stamp.day = static_cast<uint16_t>(day);
  stamp.hour = static_cast<uint16_t>(hour);
  stamp.minute = static_cast<uint16_t>(minute);
  stamp.second = static_cast<uint16_t>(second);
  stamp.millisecond = static_cast<uint16_t>(millisecond);
  return true;
}

int64_t civil_seconds(const LineTimestamp& stamp) {
  return days_from_civil(stamp.year, stamp.month, stamp.day) * 86400 + stamp.hour * 3600 +
         stamp.minute * 60 + stamp.second;
}
