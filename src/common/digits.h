// Decimal digits tested and converted eight bytes at a time: a word holds the
// bytes of the text in memory order, the first byte lowest. Shared by the
// number reader's fast path and the timestamp reader.
#pragma once

#include <cstdint>

namespace digits {

// Eight '0' bytes: what a word of digits lies above.
inline constexpr uint64_t kZeros = 0x3030303030303030;

// A word whose bytes are nonzero wherever `x` holds a byte that is not a
// decimal digit, and zero for the digits before the first such byte. Digit
// bytes after a byte of 0xFA or more may be marked too (a carry), so the
// result answers "are all bytes digits?" and "where is the first non-digit?".
constexpr uint64_t non_digit_bytes(uint64_t x) {
  const uint64_t high = x & 0xF0F0F0F0F0F0F0F0;
  const uint64_t carried = (x + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0;
  return (high ^ kZeros) | (carried ^ kZeros);
}

// Number of leading bytes of `x` (in memory order) that are decimal digits, 0-8.
constexpr int digit_run(uint64_t x) {
  const uint64_t not_digit = non_digit_bytes(x);
  return not_digit == 0 ? 8 : __builtin_ctzll(not_digit) / 8;
}

// True when the bytes of `x` under `separator_mask` (0xFF or 0x00 each) equal
// those of `separators` and every other byte is a decimal digit.
constexpr bool matches_shape(uint64_t x, uint64_t separators, uint64_t separator_mask) {
  return ((non_digit_bytes(x) & ~separator_mask) | ((x & separator_mask) ^ separators)) == 0;
}

// The first `n` (0-7) bytes of `x`, all digits, as digit values in the top
// `n` bytes, zero below: the layout eight_digits takes.
constexpr uint64_t top_digits(uint64_t x, int n) {
  return n > 0 ? (x - kZeros) << (64 - 8 * n) : 0;
}

// Value of eight digit values laid out by top_digits (zero bytes lead).
constexpr uint64_t eight_digits(uint64_t v) {
  v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FF;
  v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFF;
  return (v * 10000 + (v >> 32)) & 0xFFFFFFFF;
}

}  // namespace digits
