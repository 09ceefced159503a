// Fuzz check of one data line: the timestamp, both value layouts and the
// time-of-day window. The first bytes of the input choose the tag count, the
// separator and the window; the rest is the line. The same bytes, read as a
// file through the block reader in reads of a few bytes, give the lines of
// the reference splitter (CR, NUL and UTF-16 shapes included).
//
// Input: [tags % 251] [separator] [flags: 1 = start bound, 2 = finish bound, 4-16 (three
//        bits): the reader's read size less one, 32 = --decimal-comma, 64 = --blanks, 128 = --nan]
//        [start h m s] [finish h m s] line...
#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>

#include "common/conversion_options.h"
#include "convert/block_reader.h"
#include "convert/general_layout_for_tests.h"
#include "convert/line_timestamp.h"
#include "convert/time_window.h"
#include "convert/value_layout.h"
#include "reference_lines.h"

namespace fuzz_check {

constexpr size_t kLineInputHeader = 9;

// A window bound from three bytes, a little beyond the valid range on both sides.
inline TimeOfDay bound_from_bytes(const uint8_t* b) {
  return TimeOfDay{b[0] % 27 - 1, b[1] % 62 - 1, b[2] % 62 - 1};
}

inline bool is_digit_byte(char c) {
  return c >= '0' && c <= '9';
}

inline int digits_at(const char* p, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + (p[i] - '0');
  return v;
}

// Whether day/month/year (year 1-9999) is a date of the Gregorian calendar,
// told by <chrono> rather than by the product's calendar code.
inline bool is_calendar_date(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return false;
  return std::chrono::year_month_day{std::chrono::year{year},
                                     std::chrono::month{static_cast<unsigned>(month)},
                                     std::chrono::day{static_cast<unsigned>(day)}}
      .ok();
}

// The fields of a line written as 'DD/MM/YYYY HH:MM:SS' with every digit in
// place, and whether they form a real date and time.
struct CanonicalStamp {
  bool shaped = false;
  bool valid = false;
  int day, month, year, hour, minute, second;
};

inline CanonicalStamp canonical_stamp(const char* line, size_t size) {
  static constexpr char kShape[] = "00/00/0000 00:00:00";
  CanonicalStamp c{};
  if (size < 19) return c;
  for (size_t i = 0; i < 19; ++i) {
    if (kShape[i] == '0' ? !is_digit_byte(line[i]) : line[i] != kShape[i]) return c;
  }
  c.shaped = true;
  c.day = digits_at(line, 2);
  c.month = digits_at(line + 3, 2);
  c.year = digits_at(line + 6, 4);
  c.hour = digits_at(line + 11, 2);
  c.minute = digits_at(line + 14, 2);
  c.second = digits_at(line + 17, 2);
  c.valid = c.year >= 1601 && is_calendar_date(c.year, c.month, c.day) && c.hour <= 23 &&
            c.minute <= 59 && c.second <= 59;
  return c;
}

// What follows the seconds of a canonical line: a fraction after a '.', or after a ',' whose
// digits end at the line's end, white space or the separator (not ','), then an AM or PM marker
// after one blank, ended the same way.
struct CanonicalTail {
  int digits = -1;  // of the fraction; -1 without one
  int millisecond = 0;
  char marker = 0;  // 'A', 'P' or none
  size_t end = 19;  // where the fraction or the marker ends
};

inline CanonicalTail canonical_tail(const char* line, size_t size, char separator) {
  CanonicalTail t;
  const auto ends_at = [&](size_t pos) {
    return pos == size || line[pos] == ' ' || (line[pos] >= '\t' && line[pos] <= '\r') ||
           line[pos] == separator;
  };
  if (size > 19 && (line[19] == '.' || (line[19] == ',' && separator != ','))) {
    size_t pos = 20;
    while (pos < size && is_digit_byte(line[pos])) ++pos;
    if (line[19] == '.' || (pos > 20 && ends_at(pos))) {
      t.digits = static_cast<int>(pos - 20);
      for (int i = 0; i < 3; ++i)
        t.millisecond = t.millisecond * 10 + (i < t.digits ? line[20 + i] - '0' : 0);
      t.end = pos;
    }
  }
  if (t.digits != 0 && t.end + 2 < size && line[t.end] == ' ') {
    const char letter = static_cast<char>(line[t.end + 1] | 0x20);
    if ((letter == 'a' || letter == 'p') && (line[t.end + 2] | 0x20) == 'm' && ends_at(t.end + 3)) {
      t.marker = letter == 'a' ? 'A' : 'P';
      t.end += 3;
    }
  }
  return t;
}

// The hour on the 24-hour clock of an hour 0-23 written with `marker`; -1 when the marker
// contradicts it (0 PM, 13-23 AM).
inline int hour_on_24_hour_clock(int hour, char marker) {
  if (marker == 0) return hour;
  if (hour >= 1 && hour <= 12) return hour % 12 + (marker == 'P' ? 12 : 0);
  return (marker == 'P') == (hour > 12) ? hour : -1;
}

inline std::string check_timestamp(const char* line, size_t size, char separator, bool parsed,
                                   const LineTimestamp& s, size_t values_column) {
  const CanonicalTail tail = canonical_tail(line, size, separator);
  const CanonicalStamp canonical = canonical_stamp(line, size);
  const int hour = hour_on_24_hour_clock(canonical.hour, tail.marker);
  if (canonical.shaped && canonical.valid && tail.digits != 0 && hour >= 0 && !parsed) {
    return "a valid canonical timestamp was refused";
  }
  if (!parsed) return "";
  if (s.year < 1601 || s.year > 9999 || !is_calendar_date(s.year, s.month, s.day) || s.hour > 23 ||
      s.minute > 59 || s.second > 59 || s.millisecond > 999 || s.day_of_week != 0) {
    return "accepted fields outside the calendar";
  }
  if (canonical.shaped &&
      std::tie(canonical.day, canonical.month, canonical.year, hour, canonical.minute,
               canonical.second) != std::make_tuple(int{s.day}, int{s.month}, int{s.year},
                                                    int{s.hour}, int{s.minute}, int{s.second})) {
    return "canonical fields read wrongly";
  }
  if (values_column > size + 1) return "values column beyond the line";
  // Lines of other shapes read their time and values where they stand; the
  // usual shape keeps its columns.
  if (!canonical.shaped) return "";
  if (tail.digits == 0) return "accepted a '.' without fraction digits";
  if (values_column != (tail.end == 19 ? kValuesColumn : tail.end + 1))
    return "values column after the time";
  if (s.millisecond != tail.millisecond)
    return "milliseconds differ from the fraction's first digits";
  return "";
}

inline bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

inline std::string check_fixed_values(const char* line, size_t size, size_t start, int count) {
  const auto values = std::make_unique<double[]>(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k) values[k] = std::nan("");
  extract_fixed_values(line, size, start, count, values.get());
  for (int k = 0; k < count; ++k) {
    if (std::isnan(values[k])) return "fixed layout left value " + std::to_string(k) + " unset";
    if (start + 11 * static_cast<size_t>(k) >= size && !same_bits(values[k], 0.0)) {
      return "fixed layout: value beyond the line's end is not 0.0";
    }
  }
  return "";
}

inline std::string check_delimited_values(const char* line, size_t size, size_t start, int count,
                                          char separator) {
  const auto values = std::make_unique<double[]>(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k) values[k] = std::nan("");
  extract_line_values(line, size, start, count, separator, values.get());
  // Field boundaries, found independently of the layout code.
  int fields = 0;
  size_t field_start = start < size ? start : size;
  for (int k = 0; k < count; ++k) {
    if (std::isnan(values[k])) return "delimited layout left value " + std::to_string(k) + " unset";
    if (start >= size && !same_bits(values[k], 0.0)) {
      return "delimited layout: a line ending before the values gave a value";
    }
  }
  for (size_t pos = field_start; fields < count; ++pos) {
    if (pos == size || line[pos] == separator) {
      const bool empty = pos == field_start;
      if (empty && !same_bits(values[fields], 0.0)) return "delimited layout: empty field not 0.0";
      ++fields;
      field_start = pos + 1;
      if (pos == size) break;
    }
  }
  for (int k = fields; k < count; ++k) {
    if (!same_bits(values[k], values[fields - 1])) {
      return "delimited layout: missing field does not repeat the last one";
    }
  }
  return "";
}

// Both layouts with their fast paths against read_number field by field:
// every value bit for bit and the same findings. The delimited layout gets
// kBlockPadding bytes after the line, as a block gives it.
inline std::string check_fast_paths(const char* line, size_t size, size_t start, int count,
                                    char separator, const ValueSyntax& syntax) {
  const auto values = std::make_unique<double[]>(static_cast<size_t>(count) + 1);
  const auto expected = std::make_unique<double[]>(static_cast<size_t>(count) + 1);
  LayoutFindings wanted;
  general_layout::fixed_values(line, size, start, count, expected.get(), wanted, syntax);
  // The second time, fields read by the shapes the first time left.
  const auto shapes = std::make_unique<FieldShapes>();
  for (int time = 0; time < 2; ++time) {
    LayoutFindings found;
    extract_fixed_values(line, size, start, count, values.get(), found, *shapes, syntax);
    for (int k = 0; k < count; ++k) {
      if (!same_bits(values[k], expected[k])) return "fixed layout differs from the general reader";
    }
    if (found.unusual != wanted.unusual) return "fixed layout found another unusual field";
  }

  const auto padded = std::make_unique<char[]>(size + kBlockPadding);
  std::memcpy(padded.get(), line, size);
  std::memset(padded.get() + size, separator, kBlockPadding);
  wanted = LayoutFindings{};
  general_layout::line_values(line, size, start, count, separator, expected.get(), wanted, syntax);
  *shapes = FieldShapes{};
  for (int time = 0; time < 2; ++time) {
    LayoutFindings found;
    extract_line_values(padded.get(), size, padded.get() + size + kBlockPadding, start, count,
                        separator, values.get(), found, *shapes, syntax);
    for (int k = 0; k < count; ++k) {
      if (!same_bits(values[k], expected[k]))
        return "delimited layout differs from the general reader";
    }
    if (found.fields != wanted.fields || found.not_a_number != wanted.not_a_number) {
      return "delimited layout found otherwise than the general reader";
    }
  }
  return "";
}

inline int compare_time(const LineTimestamp& s, const TimeOfDay& b) {
  const auto line_time = std::make_tuple(int32_t{s.hour}, int32_t{s.minute}, int32_t{s.second});
  const auto bound = std::make_tuple(b.hour, b.minute, b.second);
  return line_time < bound ? -1 : line_time > bound ? 1 : 0;
}

inline std::string check_line(const uint8_t* data, size_t size) {
  if (size < kLineInputHeader) return "";
  const int count = data[0] % 251;
  const char separator = static_cast<char>(data[1]);
  ConversionOptions options;
  options.has_start = (data[2] & 1) != 0;
  options.has_finish = (data[2] & 2) != 0;
  options.start = bound_from_bytes(data + 3);
  options.finish = bound_from_bytes(data + 6);

  // An exactly sized copy, so that any read past the line's end is caught.
  const size_t line_size = size - kLineInputHeader;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + kLineInputHeader, line_size);
  std::string broken = check_reader_lines(bytes, 1 + data[2] / 4 % 8);
  if (!broken.empty()) return broken;
  const auto line = std::make_unique<char[]>(line_size);
  std::memcpy(line.get(), data + kLineInputHeader, line_size);

  LineTimestamp stamp;
  size_t values_column = 0;
  const bool parsed = parse_line_timestamp(line.get(), line_size, separator, stamp, values_column);
  broken = check_timestamp(line.get(), line_size, separator, parsed, stamp, values_column);
  if (!broken.empty()) return broken;
  // Read twice through one cache, the second time from what the first put there.
  StampCache cache;
  for (int pass = 0; pass < 2; ++pass) {
    LineTimestamp cached;
    size_t cached_column = 0;
    const bool again =
        parse_line_timestamp(line.get(), line_size, separator, cached, cached_column, cache);
    if (again != parsed || (parsed && (std::memcmp(&cached, &stamp, sizeof stamp) != 0 ||
                                       cached_column != values_column))) {
      return "the timestamp cache changed a result";
    }
  }

  const size_t start = parsed ? values_column : kValuesColumn;
  broken = check_fixed_values(line.get(), line_size, start, count);
  if (!broken.empty()) return broken;
  broken = check_delimited_values(line.get(), line_size, start, count, separator);
  if (!broken.empty()) return broken;
  const ValueSyntax syntax{(data[2] & 32) != 0, (data[2] & 64) != 0, (data[2] & 128) != 0};
  broken = check_fast_paths(line.get(), line_size, start, count, separator, syntax);
  if (!broken.empty()) return broken;

  if (parsed) {
    const bool expected = (!options.has_start || compare_time(stamp, options.start) >= 0) &&
                          (!options.has_finish || compare_time(stamp, options.finish) <= 0);
    if (in_time_window(stamp, options) != expected) return "time window decided wrongly";
  }
  return "";
}

}  // namespace fuzz_check
