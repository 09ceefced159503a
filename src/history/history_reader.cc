#include "history/history_reader.h"

#include <cstring>

namespace {

int load_i16(const unsigned char* p) {
  return static_cast<int16_t>(p[0] | p[1] << 8);
}

int load_u16(const unsigned char* p) {
  return p[0] | p[1] << 8;
}

uint64_t load_u64(const unsigned char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// The first bytes of a file, for a message: printable ASCII as it is; other bytes, '"' and
// the backslash as \xHH.
std::string quoted_start(const unsigned char* bytes, size_t size) {
  constexpr size_t kShown = 8;
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < size && i < kShown; ++i) {
    const unsigned char byte = bytes[i];
    if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
      text += static_cast<char>(byte);
    } else {
      text += "\\x";
      text += kDigits[byte >> 4];
      text += kDigits[byte & 0xF];
    }
  }
  return text;
}

}  // namespace

bool parse_fixed_header(const unsigned char* bytes, size_t size, HistoryHeader& header,
                        std::string& fault) {
  header = HistoryHeader{};
  // The format code comes first: a file that starts with another one is something else (a
  // log, say), however long it is; one that starts with it is a history file, cut short or
  // damaged when a later check fails.
  if (size >= 2) header.format_code = load_i16(bytes + 0);
  if (size >= 2 && header.format_code != kHistoryFormatCode) {
    fault = "not a history file (it starts with \"" + quoted_start(bytes, size) +
            "\", format code " + std::to_string(header.format_code) + ", expected " +
            std::to_string(kHistoryFormatCode) + ")";
    return false;
  }
  if (size < kHistoryFixedHeaderSize) {
    fault = "too short for a history file header (" + std::to_string(size) + " of " +
            std::to_string(kHistoryFixedHeaderSize) + " bytes)";
    return false;
  }
  header.header_length = load_i16(bytes + 2);
  header.record_length = load_i16(bytes + 4);
  header.tag_list_length = load_u16(bytes + 6);
  header.tag_count = load_i16(bytes + 68);
  if (header.tag_count < 0 || header.tag_count > kMaxTags) {
    fault = "tag count " + std::to_string(header.tag_count) + " out of range (0 to " +
            std::to_string(kMaxTags) + ")";
    return false;
  }
  const int expected_header = static_cast<int>(kHistoryFixedHeaderSize) + header.tag_list_length;
  if (header.header_length != expected_header) {
    fault = "header length " + std::to_string(header.header_length) +
            " does not match tag list length " + std::to_string(header.tag_list_length) +
            " (expected " + std::to_string(expected_header) + ")";
    return false;
  }
  const size_t expected_record = history_record_length(header.tag_count);
  if (header.record_length < 0 || static_cast<size_t>(header.record_length) != expected_record) {
    fault = "record length " + std::to_string(header.record_length) + " does not match " +
            std::to_string(header.tag_count) + (header.tag_count == 1 ? " tag" : " tags") +
            " (expected " + std::to_string(expected_record) + ")";
    return false;
  }
  return true;
}

bool parse_tag_list(const unsigned char* bytes, size_t size, HistoryHeader& header,
                    std::string& fault) {
  header.tag_names.clear();
  const size_t length = static_cast<size_t>(header.tag_list_length);
  if (size < length) {
    fault = "file ends inside the tag list (" + std::to_string(size) + " of " +
            std::to_string(length) + " bytes)";
    return false;
  }
  // A name never holds a space, so every space is the middle of a terminator.
  static_assert(kTagNameTerminatorLength == 3 && kTagNameTerminator[1] == ' ');
  const char* text = reinterpret_cast<const char*>(bytes);
  size_t pos = 0;
  while (static_cast<int>(header.tag_names.size()) < header.tag_count && pos < length) {
    const void* found = std::memchr(text + pos, kTagNameTerminator[1], length - pos);
    if (found == nullptr) break;
    const size_t space = static_cast<size_t>(static_cast<const char*>(found) - text);
    if (space == pos || text[space - 1] != kTagNameTerminator[0] || space + 1 >= length ||
        text[space + 1] != kTagNameTerminator[2]) {
      break;
    }
    header.tag_names.emplace_back(text + pos, space - 1 - pos);
    pos = space + 2;
  }
  const size_t found_names = header.tag_names.size();
  if (found_names != static_cast<size_t>(header.tag_count) || pos != length) {
    fault = "tag list of " + std::to_string(length) + " bytes does not split into " +
            std::to_string(header.tag_count) + (header.tag_count == 1 ? " name" : " names") +
            " each ending in TAB SPACE TAB (" + std::to_string(found_names) + " found, " +
            std::to_string(length - pos) + " bytes left over)";
    header.tag_names.clear();
    return false;
  }
  return true;
}

uint64_t whole_record_count(const HistoryHeader& header, uint64_t file_size) {
  const uint64_t start = static_cast<uint64_t>(header.header_length);
  if (file_size <= start || header.record_length <= 0) return 0;
  return (file_size - start) / static_cast<uint64_t>(header.record_length);
}

uint64_t trailing_byte_count(const HistoryHeader& header, uint64_t file_size) {
  const uint64_t start = static_cast<uint64_t>(header.header_length);
  if (file_size <= start || header.record_length <= 0) return 0;
  return (file_size - start) % static_cast<uint64_t>(header.record_length);
}

std::string partial_record_fault(const HistoryHeader& header, uint64_t trailing) {
  return "file ends in a partial record (" + std::to_string(trailing) + " of " +
         std::to_string(header.record_length) + " bytes)";
}

Ticks record_ticks(const unsigned char* record) {
  return load_u64(record);
}

double record_value(const unsigned char* record, int k) {
  const uint64_t bits = load_u64(record + 8 + 8 * static_cast<size_t>(k));
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
