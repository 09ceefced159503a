// The fast path of number reading: plain decimals read with word-wide
// operations instead of a digit loop. Included by number_reader.h so that the
// layouts' loops inline it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/digits.h"
#include "common/text_scan.h"

namespace plain_number {

inline constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
inline constexpr uint64_t kIntegerPowersOfTen[] = {1,     10,     100,     1000,
                                                   10000, 100000, 1000000, 10000000};

// The bytes [p, end) as the low bytes of a word (at most 8), zero above.
// Bytes up to `limit` (>= end) may be loaded but are masked off; zero ends
// every number, so nothing past `end` can change a result.
inline uint64_t load8(const char* p, const char* end, const char* limit) {
  const ptrdiff_t available = end - p;
  uint64_t x = 0;
  if (limit - p >= 8) {
    std::memcpy(&x, p, 8);
    if (available < 8) x &= available > 0 ? ~uint64_t{0} >> (64 - 8 * available) : 0;
    return x;
  }
  // Assembled in a register: a byte-wise copy to memory and a word read back
  // would stall on store forwarding.
  for (ptrdiff_t i = 0; i < available; ++i) {
    x |= uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
  }
  return x;
}

// The common case, without a digit loop: blanks, a sign, at most 7 digits, an
// optional "." with at most 7 digits, and no exponent. Returns false for
// anything else, which the general reader then takes. With `kRoomy`, the
// caller guarantees at least 24 bytes in [p, end), so no load needs a bound.
// On success `stop` is one past the number's last character. `kDot` is the
// decimal point.
template <bool kRoomy, char kDot = '.'>
inline bool read_plain_number(const char* p, const char* end, const char* limit, double& value,
                              const char*& stop) {
  const auto load = [&](const char* at) {
    if constexpr (kRoomy) {
      uint64_t x;
      std::memcpy(&x, at, 8);
      return x;
    } else {
      return load8(at, end, limit);
    }
  };
  const uint64_t blanks = load(p) ^ 0x2020202020202020;
  if (blanks == 0) return false;
  p += __builtin_ctzll(blanks) / 8;
  if ((!kRoomy && p >= end) || is_space(*p)) return false;
  const bool negative = *p == '-';
  p += *p == '-' || *p == '+';

  const uint64_t whole = load(p);
  const int whole_digits = digits::digit_run(whole);
  if (whole_digits == 8) return false;
  const uint64_t whole_top = digits::top_digits(whole, whole_digits);
  p += whole_digits;
  uint64_t mantissa;
  int fraction_digits = 0;
  if ((kRoomy || p < end) && *p == kDot) {
    ++p;
    const uint64_t fraction = load(p);
    fraction_digits = digits::digit_run(fraction);
    if (fraction_digits == 8) return false;
    const uint64_t fraction_top = digits::top_digits(fraction, fraction_digits);
    if (whole_digits + fraction_digits <= 8) {
      // Both runs side by side in one word: one conversion for all digits.
      const uint64_t joined =
          (fraction_digits > 0 ? whole_top >> (8 * fraction_digits) : whole_top) | fraction_top;
      mantissa = digits::eight_digits(joined);
    } else {
      mantissa = digits::eight_digits(whole_top) * kIntegerPowersOfTen[fraction_digits] +
                 digits::eight_digits(fraction_top);
    }
    p += fraction_digits;
  } else {
    mantissa = digits::eight_digits(whole_top);
  }
  if (whole_digits + fraction_digits == 0) return false;
  if (kRoomy || p < end) {
    const char c = static_cast<char>(*p | 0x20);
    if (c == 'e' || c == 'd') return false;
  }
  const double v = static_cast<double>(mantissa) / kPowersOfTen[fraction_digits];
  value = negative ? -v : v;
  stop = p;
  return true;
}

}  // namespace plain_number
