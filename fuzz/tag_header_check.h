// Fuzz check of the tag header reader: the input bytes are the header file,
// read through a memfd with the block reader. The first byte picks the read size
// (small reads split lines across refills).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/tag_table.h"
#include "common/text_scan.h"
#include "convert/tag_header.h"
#include "reference_lines.h"

namespace fuzz_check {

// The status and names a header should give, worked out from the reference lines.
struct ExpectedHeader {
  TagHeaderStatus status = TagHeaderStatus::kOk;
  std::vector<std::string> names;
};

inline ExpectedHeader expected_header(std::string_view bytes) {
  ExpectedHeader expected;
  const std::vector<ReferenceLine> lines = reference_lines(bytes);
  if (lines.empty()) return expected;
  // The count is the saturated 32-bit value of the whole first line, which
  // must not be too long to read.
  if (lines[0].too_long) {
    expected.status = TagHeaderStatus::kInvalidCount;
    return expected;
  }
  const std::string_view first = lines[0].text;
  const int32_t count = read_saturated_int(first.data(), first.data() + first.size());
  if (count < 0 || count > kMaxTags) {
    expected.status = TagHeaderStatus::kInvalidCount;
    return expected;
  }
  size_t list_length = 0;
  for (int i = 0; i < count; ++i) {
    std::string_view name;
    if (static_cast<size_t>(i) + 1 < lines.size()) {
      name = lines[static_cast<size_t>(i) + 1].text;
      name = name.substr(0, name.find_first_of(std::string_view(" \0", 2)));
    }
    if (name.size() > static_cast<size_t>(kMaxTagNameLength)) {
      expected.status = TagHeaderStatus::kNameTooLong;
      return expected;
    }
    list_length += name.size() + 3;
    if (list_length > 16'383) {
      expected.status = TagHeaderStatus::kTagListTooLong;
      return expected;
    }
    expected.names.emplace_back(name);
  }
  return expected;
}

inline std::string check_tag_header(const uint8_t* data, size_t size) {
  if (size < 1) return "";
  const size_t read_size = data[0] < 128 ? 64 * 1024 : 1 + data[0] % 97;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  const int fd = memory_file_with(bytes);
  if (fd < 0) return "could not fill a memory file";
  BlockReader reader;
  block_reader_init(reader, handle_of_descriptor(fd), read_size);
  auto tags = std::make_unique<TagTable>();
  tags->count = 17;  // left over from an earlier file
  TagHeaderLayout layout;
  const TagHeaderStatus status = read_tag_header(reader, *tags, layout);
  close(fd);

  if (status != TagHeaderStatus::kOk) {
    if (tags->count != 0) return "a refused header left tags behind";
  } else {
    if (tags->count < 0 || tags->count > kMaxTags) return "tag count out of range";
    size_t list_length = 0;
    for (int i = 0; i < tags->count; ++i) {
      const std::string_view name = tag_name(*tags, i);
      if (name.size() > static_cast<size_t>(kMaxTagNameLength)) return "tag name too long";
      if (name.find_first_of(std::string_view(" \0", 2)) != std::string_view::npos) {
        return "tag name holds a blank or NUL";
      }
      if (tags->names[i][name.size()] != '\0') return "tag name not NUL-terminated";
      list_length += name.size() + 3;
    }
    if (list_length > 16'383) return "tag list too long";
  }

  const ExpectedHeader expected = expected_header(bytes);
  if (status != expected.status) return "status differs from the header's text";
  if (status == TagHeaderStatus::kOk) {
    if (static_cast<size_t>(tags->count) != expected.names.size()) return "tag count differs";
    for (int i = 0; i < tags->count; ++i) {
      if (tag_name(*tags, i) != expected.names[static_cast<size_t>(i)]) return "tag name differs";
    }
  }
  return "";
}

}  // namespace fuzz_check
