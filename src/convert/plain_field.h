// The fast path of both value layouts: a field of at most 16 bytes that holds
// one plain decimal and nothing else, read with a few 16-byte loads, vector
// compares and multiply-adds, without a loop over its characters. A field of
// the shape the same tag had on the line before (a Shape) skips the tests.
// Anything else goes to read_number.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plain_field {

// The longest field the fast path reads.
inline constexpr int kMaxLength = 16;

// Bytes that must be readable before a field's end: its 16 bytes and the one
// before them.
inline constexpr int kBytesBefore = kMaxLength + 1;

#if defined(__SSE2__)

// Sixteen zero bytes, then sixteen 0xFF: the 16 bytes from 16 - n set the
// lanes from n on.
alignas(32) inline constexpr unsigned char kLaneMasks[32] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The 16 bytes from `p`.
inline __m128i load(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

// A vector whose lanes from `n` (0-16) on are all ones, the others zero.
inline __m128i lanes_from(int n) {
  return load(kLaneMasks + 16 - n);
}

// One bit per byte of `bytes` (the first byte lowest) that equals `c`.
inline unsigned bytes_equal(__m128i bytes, char c) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
}

// The 16 digit values of `d` (0-9 each, the first byte the most
// significant) as one integer, by multiply-adds of neighbouring lanes.
inline uint64_t sixteen_digits(__m128i d) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i tens = _mm_set1_epi32(0x0001000A);  // 10, 1 in each pair of 16-bit lanes
  const __m128i pairs = _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(d, zero), tens),
                                        _mm_madd_epi16(_mm_unpackhi_epi8(d, zero), tens));
  const __m128i quads = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));  // 100, 1
  const __m128i eights =
      _mm_madd_epi16(_mm_packs_epi32(quads, quads), _mm_set1_epi32(0x00012710));  // 10000, 1
  const uint64_t both = static_cast<uint64_t>(_mm_cvtsi128_si64(eights));
  return (both & 0xFFFFFFFF) * 100'000'000 + (both >> 32);
}

// Divisors by the lane after the dot (0 when there is none): ten to the
// number of digits after the dot.
inline constexpr double kDivisors[] = {1e0, 1e15, 1e14, 1e13, 1e12, 1e11, 1e10, 1e9, 1e8,
                                       1e7, 1e6,  1e5,  1e4,  1e3,  1e2,  1e1,  1e0};

// What read learned from a plain field, so that a later field of the same
// shape reads without the tests: the same bytes where it held blanks, a
// sign or a dot, and digits where it held digits, make a plain decimal read
// the same way. A default Shape matches nothing.
struct Shape {
  __m128i care = _mm_set1_epi8(-1);     // the field's lanes that are not digits
  __m128i bytes = _mm_setzero_si128();  // what those lanes held, zero elsewhere
  __m128i other = _mm_setzero_si128();  // every lane but the field's digits
  __m128i here = _mm_setzero_si128();   // the lanes of the digits after the dot (all, without one)
  __m128i back = _mm_setzero_si128();   // those of the digits before it, one lane on: plain_value
  double divisor = 1.0;  // ten to the number of digits after the dot, negative for a '-'
  int length = 0;
};

// The value of a plain field that ends at `end`, whose bytes less '0' are
// `shifted`: its digits as one integer, divided by `divisor`. The digits
// before the dot are taken from the load that ends one byte earlier, at the
// lanes `back`, so that they close the dot's gap; those after it from
// `shifted`, at the lanes `here`. The division by an exact power of ten
// rounds once, and a negative divisor only sets the sign bit.
inline double plain_value(const char* end, __m128i shifted, __m128i here, __m128i back,
                          double divisor) {
  const __m128i before_dot = _mm_and_si128(_mm_sub_epi8(load(end - 17), _mm_set1_epi8('0')), back);
  const __m128i digits = _mm_or_si128(_mm_and_si128(shifted, here), before_dot);
  return static_cast<double>(sixteen_digits(digits)) / divisor;
}

// Reads the field of `shape.length` bytes that ends at `end` when it has the
// shape read learned last, as read would; false otherwise.
[[gnu::always_inline]] inline bool read_same_shape(const Shape& shape, const char* end,
                                                   double& value) {
  const __m128i text = load(end - 16);
  const __m128i shifted = _mm_sub_epi8(text, _mm_set1_epi8('0'));
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8(9)), shifted);
  const __m128i same = _mm_and_si128(_mm_cmpeq_epi8(_mm_and_si128(text, shape.care), shape.bytes),
                                     _mm_or_si128(digit, shape.other));
  if (_mm_movemask_epi8(same) != 0xFFFF) return false;
  value = plain_value(end, shifted, shape.here, shape.back, shape.divisor);
  return true;
}

// Reads the field of `length` bytes that ends at `end` when it is blanks, an
// optional '-', then digits with at most one '.', ending in a digit, at most
// 15 digits in all: the value is the digits as one integer (below 2^53, so
// exact) divided by an exact power of ten, which rounds once, as read_number
// does. kBytesBefore bytes before `end` must be readable; those before the
// field play no part. Returns false, leaving `value` alone, for anything
// else (length 0 or over 16 included). `kDot` is the decimal point.
template <char kDot = '.'>
[[gnu::always_inline]] inline bool read(const char* end, int length, double& value,
                                        Shape* learned = nullptr) {
  if (length <= 0 || length > kMaxLength) return false;
  // Lanes 16 - length to 15 hold the field; a class of bytes is a bit mask of lanes.
  const __m128i text = load(end - 16);
  const unsigned field = (0xFFFF0000u >> length) & 0xFFFF;
  const __m128i shifted = _mm_sub_epi8(text, _mm_set1_epi8('0'));
  const __m128i digit_lanes = _mm_and_si128(
      _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8(9)), shifted), lanes_from(16 - length));
  const unsigned digit = static_cast<unsigned>(_mm_movemask_epi8(digit_lanes));
  const unsigned blank = bytes_equal(text, ' ') & field;
  const unsigned dot = bytes_equal(text, kDot) & field;
  const unsigned minus = bytes_equal(text, '-') & field;
  const unsigned nonblank = field & ~blank;
  const unsigned first = nonblank & (0u - nonblank);  // the first lane that is not blank
  // Only digits, blanks, dots and minus signs; blanks before the rest; a
  // minus sign first of the rest; one dot at most; a digit last; and not 16
  // digits, which might not fit 2^53.
  // The tests are joined into one branch, which the usual field always passes.
  const unsigned faults = ((digit | blank | dot | minus) ^ field) | unsigned{blank >= first} |
                          (minus & ~first) | (dot & (dot - 1)) | (~digit & 0x8000) |
                          unsigned{digit == 0xFFFF};
  if (faults != 0) return false;

  const int after_dot = std::bit_width(dot);
  const __m128i from_text = lanes_from(after_dot);
  const __m128i here = _mm_and_si128(from_text, digit_lanes);
  const __m128i back = _mm_andnot_si128(from_text, _mm_slli_si128(digit_lanes, 1));
  const double divisor = minus != 0 ? -kDivisors[after_dot] : kDivisors[after_dot];
  value = plain_value(end, shifted, here, back, divisor);
  if (learned != nullptr) {
    const __m128i care = _mm_andnot_si128(digit_lanes, lanes_from(16 - length));
    *learned = Shape{care,
                     _mm_and_si128(text, care),
                     _mm_andnot_si128(digit_lanes, _mm_set1_epi8(-1)),
                     here,
                     back,
                     divisor,
                     length};
  }
  return true;
}

inline constexpr bool kAvailable = true;

#else

// Other processors read every field with read_number.
struct Shape {
  int length = 0;
};
template <char kDot = '.'>
inline bool read(const char*, int, double&, Shape* = nullptr) {
  return false;
}
inline bool read_same_shape(const Shape&, const char*, double&) {
  return false;
}
inline constexpr bool kAvailable = false;

#endif

}  // namespace plain_field
