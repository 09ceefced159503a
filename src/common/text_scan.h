// Small character-level readers shared by the command line, the tag header and the data lines.
#pragma once

#include <cstdint>

// The white space that number reading skips: tab, LF, VT, FF, CR and blank.
constexpr bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// True when [p, end) holds nothing but that white space.
inline bool all_space(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (!is_space(*p)) return false;
  }
  return true;
}

constexpr bool is_digit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

// ASCII letters only, whatever the locale.
constexpr bool is_alpha(char c) {
  return static_cast<unsigned char>((c | 0x20) - 'a') < 26;
}

// Reads a decimal integer from [p, end): leading white space, one optional
// sign, then digits up to the first non-digit. Text that is not a number
// reads 0; values beyond the signed 32-bit range saturate.
int32_t read_saturated_int(const char* p, const char* end);
