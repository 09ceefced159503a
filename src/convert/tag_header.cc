#include "convert/tag_header.h"

#include <cstring>
#include <string>
#include <unordered_map>

#include "common/text_scan.h"
#include "history/history_file.h"

TagHeaderStatus read_tag_header(BlockReader& reader, TagTable& tags, int& name_lines) {
  tags.count = 0;
  name_lines = 0;
  Block block;
  block_init(block, reader);
  size_t at = 0;
  Line line;
  if (!next_line(reader, block, at, line)) return TagHeaderStatus::kOk;
  if (line.too_long) return TagHeaderStatus::kInvalidCount;
  // Checked as written: 65537 is no valid count, whatever its low 16 bits say.
  const int32_t count = read_saturated_int(line.data, line.data + line.size);
  if (count < 0 || count > kMaxTags) return TagHeaderStatus::kInvalidCount;

  size_t list_length = 0;
  for (int i = 0; i < count; ++i) {
    size_t length = 0;
    if (next_line(reader, block, at, line)) {
      ++name_lines;
      while (length < line.size && line.data[length] != ' ' && line.data[length] != '\0') ++length;
    }
    if (length > static_cast<size_t>(kMaxTagNameLength)) return TagHeaderStatus::kNameTooLong;
    list_length += length + kTagNameTerminatorLength;
    if (list_length > kMaxTagListLength) return TagHeaderStatus::kTagListTooLong;
    if (length > 0) std::memcpy(tags.names[i], line.data, length);
    tags.names[i][length] = '\0';
    tags.name_length[i] = static_cast<uint8_t>(length);
  }
  tags.count = static_cast<int16_t>(count);
  return TagHeaderStatus::kOk;
}

void check_tag_names(const TagTable& tags, int name_lines, std::string_view path,
                     Warnings& warnings) {
  // Name i stands on line i + 2, after the count.
  std::unordered_map<std::string_view, int> first_with_name;
  for (int i = 0; i < name_lines; ++i) {
    const std::string_view name = tag_name(tags, i);
    if (name.empty()) {
      if (count_warning(warnings, WarningKind::kTagHeader)) {
        show_warning(warnings, WarningKind::kTagHeader, path, static_cast<uint64_t>(i) + 2,
                     "tag " + std::to_string(i + 1) + " has an empty name");
      }
      continue;
    }
    const auto [place, fresh] = first_with_name.emplace(name, i);
    if (!fresh && count_warning(warnings, WarningKind::kTagHeader)) {
      show_warning(warnings, WarningKind::kTagHeader, path, static_cast<uint64_t>(i) + 2,
                   "tag " + std::to_string(i + 1) + " repeats the name '" + std::string(name) +
                       "' of tag " + std::to_string(place->second + 1));
    }
  }
  if (name_lines < tags.count && count_warning(warnings, WarningKind::kTagHeader)) {
    const std::string missing = name_lines + 1 == tags.count
                                    ? "tag " + std::to_string(tags.count) + " has"
                                    : "tags " + std::to_string(name_lines + 1) + " to " +
                                          std::to_string(tags.count) + " have";
    show_warning(warnings, WarningKind::kTagHeader, path, 0,
                 std::to_string(tags.count) + " tags announced but " + std::to_string(name_lines) +
                     (name_lines == 1 ? " name line" : " name lines") + " found: " + missing +
                     " an empty name");
  }
}
