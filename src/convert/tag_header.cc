#include "convert/tag_header.h"

#include <cstring>

#include "history/history_file.h"

TagHeaderStatus read_tag_header(LineReader& reader, TagTable& tags) {
  tags.count = 0;
  int32_t count;
  if (!next_line_as_integer(reader, count)) return TagHeaderStatus::kOk;
  // Checked as written: 65537 is no valid count, whatever its low 16 bits say.
  if (count < 0 || count > kMaxTags) return TagHeaderStatus::kInvalidCount;

  Line line;
  size_t list_length = 0;
  for (int i = 0; i < count; ++i) {
    size_t length = 0;
    if (next_line(reader, line)) {
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
