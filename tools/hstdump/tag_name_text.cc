#include "tag_name_text.h"

#include <cstdint>

#include "common/utf8.h"

namespace {

// Windows-1252's characters for 0x80..0x9F.
constexpr char16_t kWindows1252From80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

}  // namespace

bool is_utf8(std::string_view bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    const auto lead = static_cast<uint8_t>(bytes[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    // The sequence's length and the range of its second byte, which rules out overlong forms
    // (E0 80..9F, F0 80..8F), surrogates (ED A0..BF) and code points above U+10FFFF (F4 90..).
    size_t length = 0;
    uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;  // a continuation byte, an overlong lead (C0, C1) or F5..FF
    }
    if (bytes.size() - at < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto byte = static_cast<uint8_t>(bytes[at + k]);
      if (byte < (k == 1 ? low : 0x80) || byte > (k == 1 ? high : 0xBF)) return false;
    }
    at += length;
  }
  return true;
}

std::string utf8_from_windows_1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    char utf8[4];
    out.append(
        utf8, put_utf8(utf8, byte >= 0x80 && byte < 0xA0 ? kWindows1252From80[byte - 0x80] : byte));
  }
  return out;
}

int recode_tag_names(std::vector<std::string>& names) {
  int recoded = 0;
  for (std::string& name : names) {
    if (is_utf8(name)) continue;
    name = utf8_from_windows_1252(name);
    ++recoded;
  }
  return recoded;
}
