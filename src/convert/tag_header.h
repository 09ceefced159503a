// The tag header file (".HDR"): a tag count line, then one tag name per line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/tag_table.h"
#include "convert/block_reader.h"
#include "convert/warnings.h"

enum class TagHeaderStatus {
  kOk,
  kInvalidCount,    // the count is below 0 or above 250, or its line is too long to read
  kNameTooLong,     // a name has more than 254 characters
  kTagListTooLong,  // the names and their separators exceed the history file's tag list
  kReadFailed,      // reading the file failed
};

// What a tag header held besides its names, for the warnings about it.
struct TagHeaderLayout {
  bool empty = true;            // the file had no line at all
  bool count_is_number = true;  // the first line begins with a number
  std::string count_line;       // the first line (its head), when it does not
  int name_lines = 0;           // name lines found (at most the count)
  // For each name line, the text its name was cut from: what follows the name
  // up to the line's last character that is neither white space nor NUL, at
  // most kKeptCut bytes (enough to quote). Two names that repeat only because
  // of the cut are told with their lines.
  static constexpr size_t kKeptCut = 64;
  std::vector<std::string> cut;
  // For a refused header: the count as written (its head), the tag whose name
  // is too long or that makes the list too long (from 0), and that name's
  // length or the list's length with it.
  std::string count_text;
  int fault_tag = 0;
  size_t fault_length = 0;
};

// Why a header was refused, for the line after its failure message.
struct TagHeaderFault {
  uint64_t line = 0;  // the line at fault, 0 for the whole file
  std::string reason;
};

// Why read_tag_header gave `status` (not kOk or kReadFailed): "251 tags; at most 250".
TagHeaderFault tag_header_fault(TagHeaderStatus status, const TagHeaderLayout& layout);

// Fills `tags` from the header text read by `reader`. The first line is the
// count, read whole as a decimal integer (white space, sign, saturating) and
// checked as read; a count line longer than kMaxLineLength is refused, as such
// a data line would be. Each of
// the next `count` lines gives one name: its text up to the first blank, line
// feed or NUL byte. Missing lines give empty names; an empty file gives no
// tags. Lines after the names are ignored. A read error ends the reading
// with kReadFailed. `layout` receives what the warnings need.
TagHeaderStatus read_tag_header(BlockReader& reader, TagTable& tags, TagHeaderLayout& layout);

// Warns about a header that gives no tags by mistake (an empty file, a first
// line that is not a count) and about names that will not serve: missing
// name lines, empty names, repeated names (with their whole lines when they
// repeat only because the lines were cut at their first blank) and names that
// hold control characters, which are kept. `path` names the tag header file.
void check_tag_names(const TagTable& tags, const TagHeaderLayout& layout, std::string_view path,
                     Warnings& warnings);
