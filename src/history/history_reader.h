// Reading a history file back: validating its header and decoding its records.
//
// The header is checked in two steps so that a reader can fetch it with two
// bounded reads: first the 70 fixed bytes, then the tag list they announce.
// Every check names the fault in a short English phrase, for messages of the
// form "<file>: <fault>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/ticks.h"
#include "history/history_file.h"

// The header fields of a history file, as found in its bytes.
struct HistoryHeader {
  int format_code = 0;
  int header_length = 0;    // offset of the first record
  int record_length = 0;    // bytes per record
  int tag_list_length = 0;  // bytes of the tag list
  int tag_count = 0;
  std::vector<std::string> tag_names;  // filled by parse_tag_list
};

// Reads and checks the fixed header from [bytes, bytes + size). Checks, in
// order: format code 3 (any other in the first 2 bytes means "not a history
// file", with the first bytes and the code), at least 70 bytes, tag count
// 0..250, header length 70 + tag list length, record length 8 + 8 * tag
// count. On failure returns false and sets `fault`; the fields read so far
// stay in `header`.
bool parse_fixed_header(const unsigned char* bytes, size_t size, HistoryHeader& header,
                        std::string& fault);

// Splits the tag list [bytes, bytes + size) into header.tag_count names, each
// followed by TAB SPACE TAB. `size` must be header.tag_list_length; fewer
// bytes mean the file ended inside its header. Returns false and sets `fault`
// when the list does not split into exactly that many names.
bool parse_tag_list(const unsigned char* bytes, size_t size, HistoryHeader& header,
                    std::string& fault);

// Number of whole records in a file of `file_size` bytes with this header
// (0 when the file is not longer than its header).
uint64_t whole_record_count(const HistoryHeader& header, uint64_t file_size);

// Bytes after the last whole record in a file of `file_size` bytes; not 0
// means the file ends in a partial record.
uint64_t trailing_byte_count(const HistoryHeader& header, uint64_t file_size);

// The fault text for a file that ends `trailing` bytes into a record.
std::string partial_record_fault(const HistoryHeader& header, uint64_t trailing);

// The time stamp of the record at `record` (record_length bytes).
Ticks record_ticks(const unsigned char* record);

// Value `k` (0 <= k < tag count) of the record at `record`.
double record_value(const unsigned char* record, int k);
