// Reads one measured value as a binary64.
#pragma once

// Reads the number at the start of [p, end), never looking at `end` or beyond:
// leading white space is skipped, then an optional sign, digits with an
// optional "." (a number may begin with "."), and an optional exponent
// introduced by e, E, d or D. An exponent letter without digits is not part of
// the number. Text that does not begin a number (hex, inf and nan included)
// reads 0.0. The result is correctly rounded; numbers too large read
// +/-infinity, numbers too small the nearest subnormal or zero.
//
// `limit` (>= end, within the same buffer) lets the reader load whole words up
// to it; bytes from `end` on never affect the result.
double read_number(const char* p, const char* end, const char* limit);

inline double read_number(const char* p, const char* end) { return read_number(p, end, end); }
