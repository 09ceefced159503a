// Reads one measured value as a binary64.
#pragma once

#include "convert/plain_number.h"

// Reads the number at the start of [p, end), never looking at `end` or beyond:
// leading white space is skipped, then an optional sign, digits with an
// optional "." (a number may begin with "."), and an optional exponent
// introduced by e, E, d or D. An exponent letter without digits is not part of
// the number. Text that does not begin a number (hex, inf and nan included)
// reads 0.0. The result is correctly rounded; numbers too large read
// +/-infinity, numbers too small the nearest subnormal or zero.
//
// `limit` (>= end, within the same buffer) lets the reader load whole words up
// to it; bytes from `end` on never affect the result. `stop` receives one past
// the number's last character, or `p` when the text does not begin a number.
// `beyond_range` as for read_general_number. With `kDot` ',' the decimal point
// is the comma, and '.' ends a number as any other byte does.
template <char kDot = '.'>
inline double read_number(const char* p, const char* end, const char* limit, const char*& stop,
                          bool* beyond_range = nullptr);

inline double read_number(const char* p, const char* end, const char* limit) {
  const char* stop;
  return read_number(p, end, limit, stop);
}

inline double read_number(const char* p, const char* end) {
  return read_number(p, end, end);
}

// read_number for every number: one exact operation when the digits make at
// most 2^53 and the power of ten is within 10^+-22, std::from_chars otherwise.
// read_number's fast path hands over to it whatever is not a plain decimal.
// `beyond_range`, when given, is set when the number lies beyond binary64's
// range and so reads as infinity or 0 (subnormals lie within it). `dot` is the
// decimal point.
double read_general_number(const char* p, const char* end, const char*& stop,
                           bool* beyond_range = nullptr, char dot = '.');

// Always inlined: it is the innermost step of both value layouts' loops.
template <char kDot>
[[gnu::always_inline]] inline double read_number(const char* p, const char* end, const char* limit,
                                                 const char*& stop, bool* beyond_range) {
  double value;
  if (end - p >= 24 ? plain_number::read_plain_number<true, kDot>(p, end, limit, value, stop)
                    : plain_number::read_plain_number<false, kDot>(p, end, limit, value, stop)) {
    return value;
  }
  if constexpr (kDot == '.') {
    return read_general_number(p, end, stop, beyond_range);
  } else {
    return read_general_number(p, end, stop, beyond_range, kDot);
  }
}
