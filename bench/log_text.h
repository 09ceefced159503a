// Text pieces of a generated log line, written straight into a buffer without printf.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>

// Writes `value` as exactly two decimal digits (0-99).
inline char* put_two_digits(char* out, int value) {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
  return out + 2;
}

// Writes `ten_thousandths` / 10000 the way printf("%10.4f") writes that
// number: right-aligned in 10 columns, 4 decimals. The value is held as an
// integer count of 0.0001 so the text is exact and no rounding is involved.
inline char* put_fixed_4(char* out, int64_t ten_thousandths) {
  char digits[24];
  char* end = digits + sizeof digits;
  char* p = end;
  const bool negative = ten_thousandths < 0;
  uint64_t rest = negative ? 0 - static_cast<uint64_t>(ten_thousandths)
                           : static_cast<uint64_t>(ten_thousandths);
  for (int i = 0; i < 4; ++i, rest /= 10) *--p = static_cast<char>('0' + rest % 10);
  *--p = '.';
  do {
    *--p = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (negative) *--p = '-';
  for (ptrdiff_t pad = 10 - (end - p); pad > 0; --pad) *out++ = ' ';
  for (; p < end; ++p) *out++ = *p;
  return out;
}

// Writes `value` the way printf("%.9g") does (std::to_chars with general
// format and a precision follows the printf rules).
inline char* put_general_9(char* out, char* limit, double value) {
  return std::to_chars(out, limit, value, std::chars_format::general, 9).ptr;
}
