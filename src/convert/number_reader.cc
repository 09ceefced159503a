#include "convert/number_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/text_scan.h"

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr uint64_t kExactMantissaLimit = uint64_t{1} << 53;
constexpr int kMaxMantissaDigits = 19;
// Exponents are clamped here; a line is too short for more digits to matter.
constexpr int64_t kExponentClamp = 100'000'000;

// Correctly rounded conversion of a number whose extent is already known.
// Rebuilds it in the form strtod takes (no '+', 'e' for the exponent) and lets
// the C library round it.
double read_slowly(bool negative, const char* mantissa, const char* mantissa_end,
                   int64_t exponent) {
  char small[256];
  std::string large;
  const size_t needed = static_cast<size_t>(mantissa_end - mantissa) + 16;
  char* out = small;
  if (needed > sizeof(small)) {
    large.resize(needed);
    out = large.data();
  }
  char* w = out;
  if (negative) *w++ = '-';
  for (const char* p = mantissa; p < mantissa_end; ++p) *w++ = *p;
  *w++ = 'e';
  if (exponent < 0) {
    *w++ = '-';
    exponent = -exponent;
  }
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + exponent % 10);
    exponent /= 10;
  } while (exponent > 0);
  while (n > 0) *w++ = digits[--n];
  *w = '\0';
  return std::strtod(out, nullptr);
}

}  // namespace

double read_general_number(const char* p, const char* end, const char*& stop) {
  stop = p;
  while (p < end && is_space(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';

  // Collect the digits into one integer; more than 19 of them may overflow it,
  // and then only the slow path's result is used.
  const char* const mantissa = p;
  uint64_t digits = 0;
  const char* q = p;
  for (; q < end && is_digit(*q); ++q) digits = digits * 10 + static_cast<uint64_t>(*q - '0');
  int64_t count = q - p;
  int64_t fraction_digits = 0;
  if (q < end && *q == '.') {
    const char* const fraction = ++q;
    for (; q < end && is_digit(*q); ++q) digits = digits * 10 + static_cast<uint64_t>(*q - '0');
    fraction_digits = q - fraction;
    count += fraction_digits;
  }
  if (count == 0) return 0.0;
  const char* const mantissa_end = q;
  stop = q;

  int64_t exponent = 0;
  if (q < end && (*q == 'e' || *q == 'E' || *q == 'd' || *q == 'D')) {
    const char* e = q + 1;
    bool exponent_negative = false;
    if (e < end && (*e == '+' || *e == '-')) exponent_negative = *e++ == '-';
    if (e < end && is_digit(*e)) {
      for (; e < end && is_digit(*e); ++e) {
        exponent = exponent * 10 + (*e - '0');
        if (exponent > kExponentClamp) exponent = kExponentClamp;
      }
      if (exponent_negative) exponent = -exponent;
      stop = e;
    }
  }

  if (count <= kMaxMantissaDigits) {
    if (digits == 0) return negative ? -0.0 : 0.0;
    const int64_t power = exponent - fraction_digits;
    if (digits <= kExactMantissaLimit && power >= -22 && power <= 22) {
      // Both operands are exact binary64 values, so one rounding gives the
      // correctly rounded result.
      const double m = static_cast<double>(digits);
      const double v = power < 0 ? m / kPowersOfTen[-power] : m * kPowersOfTen[power];
      return negative ? -v : v;
    }
  }
  return read_slowly(negative, mantissa, mantissa_end, exponent);
}
