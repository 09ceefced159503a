// Both value layouts read field by field with read_number alone, as plainly
// as they are defined: what the layouts' fast paths must match bit for bit.
// Shared by the unit tests and the fuzz targets.
#pragma once

#include <algorithm>
#include <cstddef>

#include "common/text_scan.h"
#include "convert/number_reader.h"
#include "convert/value_layout.h"

namespace general_layout {

// read_number with the decimal point of `syntax`.
inline double read_value(const ValueSyntax& syntax, const char* p, const char* end,
                         const char*& stop) {
  return syntax.decimal_comma ? read_number<','>(p, end, end, stop)
                              : read_number(p, end, end, stop);
}

// extract_fixed_values, one read_number per field.
inline void fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                         LayoutFindings& findings, const ValueSyntax& syntax = {}) {
  const char* const end = line + size;
  for (int k = 0; k < count; ++k) {
    const size_t column = start + 11 * static_cast<size_t>(k);
    const char* stop = line + column;
    values[k] = column < size ? read_value(syntax, line + column, end, stop) : 0.0;
    if (findings.unusual < 0 && (column >= size || stop != line + column + 10)) {
      findings.unusual = k;
    }
    // No number of the field's own: past the line, not a number, or blank columns.
    if (syntax.nan && (column >= size || stop == line + column ||
                       all_space(line + column, std::min(end, line + column + 10)))) {
      values[k] = kMissingValue;
    }
  }
}

// extract_line_values, fields found one byte at a time.
inline void line_values(const char* line, size_t size, size_t start, int count, char separator,
                        double* values, LayoutFindings& findings, const ValueSyntax& syntax = {}) {
  if (count <= 0) return;
  const char* const end = line + size;
  const char* field = line + (start < size ? start : size);
  const auto read_field = [&](int k, const char* field_end) {
    const char* stop;
    const double value = read_value(syntax, field, field_end, stop);
    if (findings.not_a_number < 0 && stop != field_end && !all_space(stop, field_end)) {
      findings.not_a_number = k;
    }
    return syntax.nan && stop == field ? kMissingValue : value;
  };
  const double missing = syntax.nan ? kMissingValue : 0.0;
  int k = 0;
  if (syntax.blanks) {
    // Runs of blanks and tabs split the fields, as awk splits them; a field reads with the blanks
    // before it.
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    for (; k < count; ++k) {
      const char* text = field;
      while (text < end && blank(*text)) ++text;
      if (text == end) break;
      const char* stop = text;
      while (stop < end && !blank(*stop)) ++stop;
      values[k] = read_field(k, stop);
      field = stop;
    }
    int fields = k;
    for (const char* p = field; p < end; ++p) fields += !blank(*p) && (p == field || blank(p[-1]));
    if (fields != count) findings.fields = fields;
    const double last = syntax.nan || k == 0 ? missing : values[k - 1];
    for (; k < count; ++k) values[k] = last;
    return;
  }
  for (; k < count; ++k) {
    const char* stop = field;
    while (stop < end && *stop != separator) ++stop;
    if (stop == end) break;
    values[k] = read_field(k, stop);
    field = stop + 1;
  }
  if (k == count) {
    if (!all_space(field, end)) {
      int fields = count + 1;
      for (const char* p = field; p < end; ++p) fields += *p == separator;
      findings.fields = fields;
    }
    return;
  }
  const int fields = k == 0 && field == end ? 0 : k + 1;
  if (fields < count) findings.fields = fields;
  const double last = fields == 0 ? missing : read_field(k, end);
  values[k++] = last;
  for (; k < count; ++k) values[k] = syntax.nan ? missing : last;
}

}  // namespace general_layout
