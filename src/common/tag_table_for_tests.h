// Test support: a tag table built from a list of names.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/tag_table.h"

// A table holding `names` in order (each at most kMaxTagNameLength characters).
inline std::unique_ptr<TagTable> tag_table_of(const std::vector<std::string>& names) {
  auto tags = std::make_unique<TagTable>();
  tags->count = static_cast<int16_t>(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    std::memcpy(tags->names[i], names[i].data(), names[i].size());
    tags->name_length[i] = static_cast<uint8_t>(names[i].size());
  }
  return tags;
}
