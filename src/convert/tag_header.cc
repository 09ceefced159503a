#include "convert/tag_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "common/text_scan.h"
#include "history/history_file.h"

namespace {

// Whether the text starts as a decimal integer does: white space, a sign, a digit.
bool begins_integer(const char* p, const char* end) {
  while (p < end && is_space(*p)) ++p;
  if (p < end && (*p == '+' || *p == '-')) ++p;
  return p < end && is_digit(*p);
}

// The sign and digits that a decimal integer at the start of `text` is written with.
std::string_view number_text(std::string_view text) {
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  size_t end = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  while (end < text.size() && is_digit(text[end])) ++end;
  return text.substr(0, end);
}

TagHeaderStatus read_names(BlockReader& reader, TagTable& tags, TagHeaderLayout& layout) {
  Block block;
  block_init(block, reader);
  size_t at = 0;
  Line line;
  if (!next_line(reader, block, at, line)) return TagHeaderStatus::kOk;
  layout.empty = false;
  if (line.too_long) return TagHeaderStatus::kInvalidCount;
  // Checked as written: 65537 is no valid count, whatever its low 16 bits say.
  const int32_t count = read_saturated_int(line.data, line.data + line.size);
  layout.count_text = number_text(std::string_view(line.data, line.size)).substr(0, 64);
  if (!begins_integer(line.data, line.data + line.size)) {
    layout.count_is_number = false;
    layout.count_line.assign(line.data, std::min<size_t>(line.size, 64));
  }
  if (count < 0 || count > kMaxTags) return TagHeaderStatus::kInvalidCount;

  size_t list_length = 0;
  for (int i = 0; i < count; ++i) {
    size_t length = 0;
    if (next_line(reader, block, at, line)) {
      ++layout.name_lines;
      while (length < line.size && line.data[length] != ' ' && line.data[length] != '\0') ++length;
      size_t kept = line.size;
      while (kept > length && (is_space(line.data[kept - 1]) || line.data[kept - 1] == '\0')) {
        --kept;
      }
      layout.cut.emplace_back(line.data + length,
                              std::min(kept - length, TagHeaderLayout::kKeptCut));
    }
    layout.fault_tag = i;
    layout.fault_length = length;
    if (length > static_cast<size_t>(kMaxTagNameLength)) return TagHeaderStatus::kNameTooLong;
    list_length += length + kTagNameTerminatorLength;
    layout.fault_length = list_length;
    if (list_length > kMaxTagListLength) return TagHeaderStatus::kTagListTooLong;
    if (length > 0) std::memcpy(tags.names[i], line.data, length);
    tags.names[i][length] = '\0';
    tags.name_length[i] = static_cast<uint8_t>(length);
  }
  tags.count = static_cast<int16_t>(count);
  return TagHeaderStatus::kOk;
}

}  // namespace

TagHeaderStatus read_tag_header(BlockReader& reader, TagTable& tags, TagHeaderLayout& layout) {
  tags.count = 0;
  layout = TagHeaderLayout{};
  const TagHeaderStatus status = read_names(reader, tags, layout);
  if (reader.read_error != 0) {
    // What was read may stop anywhere: a table from it would write good values under no name.
    tags.count = 0;
    return TagHeaderStatus::kReadFailed;
  }
  return status;
}

void check_tag_names(const TagTable& tags, const TagHeaderLayout& layout, std::string_view path,
                     Warnings& warnings) {
  if (layout.empty && count_warning(warnings, WarningKind::kTagHeader)) {
    show_warning(warnings, WarningKind::kTagHeader, path, 0,
                 "the tag header is empty: no tags, so no values are written");
  }
  if (!layout.count_is_number && count_warning(warnings, WarningKind::kTagHeader)) {
    show_warning(warnings, WarningKind::kTagHeader, path, 1,
                 "the first line " + quote_line(layout.count_line) +
                     " is not a tag count; read as 0 tags, so no values are written");
  }
  const int name_lines = layout.name_lines;
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
    const std::string quoted = quote_line(name, kMaxTagNameLength);
    const auto control = std::find_if(name.begin(), name.end(), [](char c) {
      return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (control != name.end() && count_warning(warnings, WarningKind::kTagHeader)) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(*control));
      show_warning(
          warnings, WarningKind::kTagHeader, path, static_cast<uint64_t>(i) + 2,
          join({"tag ", std::to_string(i + 1), "'s name ", quoted, " holds a control character (",
                *control == '\t' ? "TAB" : code, "); it is kept"}));
    }
    const auto [place, fresh] = first_with_name.emplace(name, i);
    if (!fresh && count_warning(warnings, WarningKind::kTagHeader)) {
      const int first = place->second;
      std::string text = "tag " + std::to_string(i + 1) + " repeats the name " + quoted +
                         " of tag " + std::to_string(first + 1);
      // Different lines that give one name: the text after their first blank told them apart.
      const auto cut = [&](int tag) {
        return static_cast<size_t>(tag) < layout.cut.size() ? layout.cut[tag] : std::string();
      };
      if (cut(i) != cut(first)) {
        const auto whole = [&](int tag) {
          return quote_line(std::string(name) + cut(tag), name.size() + 60);
        };
        text += join({": a name ends at its line's first blank, so ", whole(first), " and ",
                      whole(i), " both read ", quoted});
      }
      show_warning(warnings, WarningKind::kTagHeader, path, static_cast<uint64_t>(i) + 2, text);
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

TagHeaderFault tag_header_fault(TagHeaderStatus status, const TagHeaderLayout& layout) {
  const std::string most = std::to_string(kMaxTags);
  const std::string tag = std::to_string(layout.fault_tag + 1);
  const uint64_t name_line = static_cast<uint64_t>(layout.fault_tag) + 2;
  switch (status) {
    case TagHeaderStatus::kInvalidCount:
      if (layout.count_text.empty() && !layout.empty) {
        return {1,
                "the count line is longer than " + std::to_string(kMaxLineLength) + " characters"};
      }
      return {1, layout.count_text + " tags; " +
                     (layout.count_text.starts_with('-') ? "at least 0" : "at most " + most)};
    case TagHeaderStatus::kNameTooLong:
      return {name_line, "the name of tag " + tag + " has " + std::to_string(layout.fault_length) +
                             " characters; at most " + std::to_string(kMaxTagNameLength)};
    case TagHeaderStatus::kTagListTooLong:
      return {name_line, "with tag " + tag + " the names and their separators take " +
                             std::to_string(layout.fault_length) + " bytes; at most " +
                             std::to_string(kMaxTagListLength)};
    case TagHeaderStatus::kOk:
    case TagHeaderStatus::kReadFailed:
      break;
  }
  return {};
}
