#include "convert/number_reader.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
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

// Whether a number that from_chars finds beyond binary64's range is too large
// rather than too small: its first nonzero digit, moved by the exponent, lies
// far above 1 or far below it.
bool beyond_largest(const char* mantissa, const char* mantissa_end, int64_t whole_digits,
                    int64_t exponent) {
  int64_t place = whole_digits;  // the first nonzero digit stands for 10^(place - 1)
  for (const char* p = mantissa; p < mantissa_end && (*p == '0' || !is_digit(*p)); ++p) {
    place -= *p == '0';
  }
  return place + exponent > 0;
}

// Correctly rounded conversion of the unsigned number [mantissa, stop), its
// digits ending at `mantissa_end` and any exponent after them. from_chars
// reads it as it stands, or a copy when the exponent letter is 'd' or 'D' or
// the decimal point `dot` is not '.'.
double read_rounded(const char* mantissa, const char* mantissa_end, const char* stop,
                    int64_t whole_digits, int64_t exponent, bool* beyond_range, char dot) {
  double value = 0.0;
  std::from_chars_result result;
  if ((stop > mantissa_end && (*mantissa_end == 'd' || *mantissa_end == 'D')) || dot != '.') {
    char small[256];
    std::string large;
    const size_t size = static_cast<size_t>(stop - mantissa);
    char* text = small;
    if (size > sizeof small) {
      large.resize(size);
      text = large.data();
    }
    std::memcpy(text, mantissa, size);
    if (stop > mantissa_end) text[mantissa_end - mantissa] = 'e';
    if (whole_digits < mantissa_end - mantissa) text[whole_digits] = '.';
    result = std::from_chars(text, text + size, value);
  } else {
    result = std::from_chars(mantissa, stop, value);
  }
  // Out of range, from_chars leaves the value alone: it is infinity or zero.
  if (result.ec == std::errc::result_out_of_range) {
    if (beyond_range != nullptr) *beyond_range = true;
    value = beyond_largest(mantissa, mantissa_end, whole_digits, exponent)
                ? std::numeric_limits<double>::infinity()
                : 0.0;
  }
  return value;
}

}  // namespace

double read_general_number(const char* p, const char* end, const char*& stop, bool* beyond_range,
                           char dot) {
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
  const int64_t whole_digits = q - p;
  int64_t count = whole_digits;
  int64_t fraction_digits = 0;
  if (q < end && *q == dot) {
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
  const double value =
      read_rounded(mantissa, mantissa_end, stop, whole_digits, exponent, beyond_range, dot);
  return negative ? -value : value;
}
