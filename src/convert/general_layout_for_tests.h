// Both value layouts read field by field with read_number alone, as plainly
// as they are defined: what the layouts' fast paths must match bit for bit.
// Shared by the unit tests and the fuzz targets.
#pragma once

#include <cstddef>

#include "common/text_scan.h"
#include "convert/number_reader.h"
#include "convert/value_layout.h"

namespace general_layout {

// extract_fixed_values, one read_number per field.
inline void fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                         LayoutFindings& findings) {
  const char* const end = line + size;
  for (int k = 0; k < count; ++k) {
    const size_t column = start + 11 * static_cast<size_t>(k);
    const char* stop = line + column;
    values[k] = column < size ? read_number(line + column, end, end, stop) : 0.0;
    if (findings.unusual < 0 && (column >= size || stop != line + column + 10)) {
      findings.unusual = k;
    }
  }
}

// extract_line_values, fields found one byte at a time.
inline void line_values(const char* line, size_t size, size_t start, int count, char separator,
                        double* values, LayoutFindings& findings) {
  if (count <= 0) return;
  const char* const end = line + size;
  const char* field = line + (start < size ? start : size);
  const auto read_field = [&](int k, const char* field_end) {
    const char* stop;
    const double value = read_number(field, field_end, end, stop);
    if (findings.not_a_number < 0 && stop != field_end && !all_space(stop, field_end)) {
      findings.not_a_number = k;
    }
    return value;
  };
  int k = 0;
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
  const double last = read_field(k, end);
  for (; k < count; ++k) values[k] = last;
}

}  // namespace general_layout
