// Fuzz check of the option arguments (the optional command line arguments
// that name no data file): the input is split at NUL bytes into up to six
// arguments, parsed once onto the defaults and once onto options already set,
// and compared with what the arguments say.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/conversion_options.h"
#include "front/command_line.h"

namespace fuzz_check {

// A decimal integer: white space, a sign, digits; saturating at the int32 limits.
inline int32_t saturated_integer(const std::string& text) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > (int64_t{1} << 32)) value = int64_t{1} << 32;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The first three non-empty ':'-separated fields from the fourth character on.
inline bool bound_fields(const std::string& argument, TimeOfDay& bound) {
  std::vector<std::string> fields;
  std::string field;
  for (size_t pos = 3; pos <= argument.size(); ++pos) {
    if (pos == argument.size() || argument[pos] == ':') {
      if (!field.empty()) fields.push_back(field);
      field.clear();
    } else {
      field += argument[pos];
    }
  }
  if (fields.size() < 3) return false;
  bound = {saturated_integer(fields[0]), saturated_integer(fields[1]),
           saturated_integer(fields[2])};
  return true;
}

// What the arguments should make of `options`.
inline bool expected_options(const std::vector<std::string>& arguments,
                             ConversionOptions& options) {
  bool valid = true;
  bool separator_given = false;
  size_t classic = 0;
  for (const std::string& a : arguments) {
    if (a.size() > 1 && a[0] == '-') {  // long options do not count toward the four others
      bool* const flag = a == "--decimal-comma" ? &options.decimal_comma
                         : a == "--blanks"      ? &options.blanks
                         : a == "--month-first" ? &options.month_first
                         : a == "--nan"         ? &options.nan
                         : a == "--strict"      ? &options.strict
                         : a == "--quiet"       ? &options.quiet
                                                : nullptr;
      valid = valid && flag != nullptr;
      if (flag != nullptr) *flag = true;
      options.delimited = options.delimited || a == "--blanks";
      continue;
    }
    if (++classic > 4 || a.empty()) {
      valid = false;
    } else if (a[0] != '/') {
      options.separator = a == "\\t" ? '\t' : a[0];
      separator_given = true;
    } else if (a.size() < 2) {
      valid = false;
    } else if (a[1] == 'e' || a[1] == 'E') {
      options.delimited = true;
    } else if (a[1] == 'q' || a[1] == 'Q') {
      options.quiet = true;
    } else if (a[1] == 'i' || a[1] == 'I' || a[1] == 'f' || a[1] == 'F') {
      const bool start = a[1] == 'i' || a[1] == 'I';
      TimeOfDay bound;
      if (!bound_fields(a, bound)) {
        valid = false;
      } else if (start) {
        options.has_start = true;
        options.start = bound;
      } else {
        options.has_finish = true;
        options.finish = bound;
      }
    } else {
      valid = false;
    }
  }
  // ',' cannot be both the separator and the decimal point; --blanks takes no separator.
  if (separator_given && ((options.decimal_comma && options.separator == ',') || options.blanks)) {
    valid = false;
  }
  return valid;
}

inline bool same_bound(const TimeOfDay& a, const TimeOfDay& b) {
  return a.hour == b.hour && a.minute == b.minute && a.second == b.second;
}

inline bool same_options(const ConversionOptions& a, const ConversionOptions& b) {
  return a.separator == b.separator && a.delimited == b.delimited && a.has_start == b.has_start &&
         same_bound(a.start, b.start) && a.has_finish == b.has_finish &&
         same_bound(a.finish, b.finish) && a.quiet == b.quiet &&
         a.decimal_comma == b.decimal_comma && a.blanks == b.blanks &&
         a.month_first == b.month_first && a.nan == b.nan && a.strict == b.strict;
}

inline std::string check_options(const uint8_t* data, size_t size) {
  std::vector<std::string> arguments;
  if (size > 0) {
    arguments.emplace_back();
    for (size_t i = 0; i < size; ++i) {
      if (data[i] != 0) {
        arguments.back() += static_cast<char>(data[i]);
      } else if (arguments.size() < 6) {
        arguments.emplace_back();
      } else {
        break;
      }
    }
  }

  ConversionOptions preset;
  preset.separator = '#';
  preset.delimited = false;
  preset.has_start = true;
  preset.start = {-7, 77, 777};
  preset.has_finish = false;
  preset.finish = {5, 55, 555};
  preset.quiet = true;
  preset.decimal_comma = true;
  preset.month_first = true;
  for (const ConversionOptions& initial : {ConversionOptions{}, preset}) {
    ConversionOptions parsed = initial;
    OptionReport report;
    const bool valid = parse_options(arguments, parsed, report);
    ConversionOptions expected = initial;
    const bool expected_valid = expected_options(arguments, expected);
    if (valid != expected_valid) return "validity differs from the arguments";
    if (valid != report.faults.empty()) return "an invalid argument without its reason";
    if (!same_options(parsed, expected)) return "options differ from the arguments";
  }
  return "";
}

}  // namespace fuzz_check
