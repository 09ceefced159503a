// The tag names of one conversion, in the order of the values in every record.
#pragma once

#include <cstdint>
#include <string_view>

constexpr int kMaxTags = 250;
constexpr int kMaxTagNameLength = 254;

struct TagTable {
  int16_t count = 0;
  uint8_t name_length[kMaxTags] = {};
  // Each name is read up to its name_length only: the rest need not be cleared.
  char names[kMaxTags][kMaxTagNameLength + 1];
};

// The name of tag `i` (0 <= i < table.count).
inline std::string_view tag_name(const TagTable& table, int i) {
  return std::string_view(table.names[i], table.name_length[i]);
}
