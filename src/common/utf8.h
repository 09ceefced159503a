// The UTF-8 form of a code point, for text taken on from other encodings.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the UTF-8 form of `code_point` (at most U+10FFFF) at `out`, which has
// room for 4 bytes, and returns how many bytes it took.
inline size_t put_utf8(char* out, uint32_t code_point) {
  if (code_point < 0x80) {
    out[0] = static_cast<char>(code_point);
    return 1;
  }
  if (code_point < 0x800) {
    out[0] = static_cast<char>(0xC0 | code_point >> 6);
    out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 2;
  }
  if (code_point < 0x10000) {
    out[0] = static_cast<char>(0xE0 | code_point >> 12);
    out[1] = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | code_point >> 18);
  out[1] = static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
  out[2] = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
  out[3] = static_cast<char>(0x80 | (code_point & 0x3F));
  return 4;
}
