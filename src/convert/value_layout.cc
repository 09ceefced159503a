#include "convert/value_layout.h"

#include <algorithm>
#include <cstring>

#include "common/text_scan.h"
#include "convert/number_reader.h"

namespace {

constexpr size_t kFieldStride = 11;
constexpr size_t kFieldWidth = 10;

bool all_blanks(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (*p != ' ') return false;
  }
  return true;
}

}  // namespace

FieldFault fixed_field_fault(const char* line, size_t size, size_t column) {
  if (column >= size) return FieldFault::kBeyondLine;
  const char* const end = line + size;
  const char* const field = line + column;
  const char* const field_end = std::min(end, field + kFieldWidth);
  const char* stop;
  read_number(field, end, end, stop);
  if (stop == field)
    return all_space(field, field_end) ? FieldFault::kBlank : FieldFault::kNotANumber;
  if (stop < field_end)
    return all_blanks(stop, field_end) ? FieldFault::kNone : FieldFault::kMisaligned;
  // A number that ends past the field: a wide value, or the next field's behind blanks.
  return stop > field + kFieldWidth && all_space(field, field_end) ? FieldFault::kBlank
                                                                   : FieldFault::kNone;
}

bool delimited_field_is_number(const char* field, const char* field_end, const char* limit) {
  const char* stop;
  read_number(field, field_end, limit, stop);
  return stop == field_end || all_space(stop, field_end);
}

void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                          LayoutFindings& findings) {
  const char* const end = line + size;
  size_t column = start;
  for (int k = 0; k < count; ++k, column += kFieldStride) {
    if (column >= size) {
      if (findings.unusual < 0) findings.unusual = k;
      values[k] = 0.0;
      continue;
    }
    const char* stop;
    const char* const field = line + column;
    values[k] = read_number(field, end, end, stop);
    // Right-aligned numbers end where their field does: one comparison.
    if (stop != field + kFieldWidth) [[unlikely]] {
      if (findings.unusual < 0) findings.unusual = k;
    }
  }
}

void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values) {
  LayoutFindings ignored;
  extract_fixed_values(line, size, start, count, values, ignored);
}

void extract_line_values(const char* line, size_t size, size_t start, int count, char separator,
                         double* values, LayoutFindings& findings) {
  if (count <= 0) return;
  const char* const end = line + size;
  const char* field = line + (start < size ? start : size);
  const auto read_field = [&](int k, const char* field_end) {
    const char* stop;
    const double value = read_number(field, field_end, end, stop);
    if (stop != field_end && findings.not_a_number < 0 && !all_space(stop, field_end)) {
      findings.not_a_number = k;
    }
    return value;
  };
  int k = 0;
  for (; k < count; ++k) {
    const char* const stop =
        static_cast<const char*>(std::memchr(field, separator, static_cast<size_t>(end - field)));
    if (stop == nullptr) break;
    values[k] = read_field(k, stop);
    field = stop + 1;
  }
  if (k == count) {
    // Text after the last tag's field is ignored; more than blanks is worth a word.
    if (!all_space(field, end)) {
      int fields = count + 1;
      for (const char* p = field; (p = static_cast<const char*>(std::memchr(
                                       p, separator, static_cast<size_t>(end - p)))) != nullptr;
           ++p) {
        ++fields;
      }
      findings.fields = fields;
    }
    return;
  }
  // No separator after this field: it is the line's last, and every later tag repeats it.
  const int fields = k == 0 && field == end ? 0 : k + 1;
  if (fields < count) findings.fields = fields;
  const double last = read_field(k, end);
  for (; k < count; ++k) values[k] = last;
}

void extract_line_values(const char* line, size_t size, size_t start, int count, char separator,
                         double* values) {
  LayoutFindings ignored;
  extract_line_values(line, size, start, count, separator, values, ignored);
}
