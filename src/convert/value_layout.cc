#include "convert/value_layout.h"

#include <cstring>

#include "convert/number_reader.h"

namespace {
constexpr size_t kFieldStride = 11;
}  // namespace

void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values) {
  const char* const end = line + size;
  size_t column = start;
  for (int k = 0; k < count; ++k, column += kFieldStride) {
    values[k] = column < size ? read_number(line + column, end) : 0.0;
  }
}

void extract_line_values(const char* line, size_t size, size_t start, int count, char separator,
                         double* values) {
  if (count <= 0) return;
  const char* const end = line + size;
  const char* field = line + (start < size ? start : size);
  int k = 0;
  for (; k < count; ++k) {
    const char* const stop =
        static_cast<const char*>(std::memchr(field, separator, static_cast<size_t>(end - field)));
    if (stop == nullptr) break;
    values[k] = read_number(field, stop, end);
    field = stop + 1;
  }
  if (k == count) return;
  // No separator after this field: it is the line's last, and every later tag repeats it.
  const double last = read_number(field, end);
  for (; k < count; ++k) values[k] = last;
}
