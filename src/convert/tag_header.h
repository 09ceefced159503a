// The tag header file (".HDR"): a tag count line, then one tag name per line.
#pragma once

#include "common/line_reader.h"
#include "common/tag_table.h"

enum class TagHeaderStatus {
  kOk,
  kInvalidCount,    // the count is below 0 or above 250
  kNameTooLong,     // a name has more than 254 characters
  kTagListTooLong,  // the names and their separators exceed the history file's tag list
};

// Fills `tags` from the header text. The first line is the count, read whole
// as a decimal integer (white space, sign, saturating) and checked as read. Each of
// the next `count` lines gives one name: its text up to the first blank, line
// feed or NUL byte. Missing lines give empty names; an empty file gives no
// tags. Lines after the names are ignored.
TagHeaderStatus read_tag_header(LineReader& reader, TagTable& tags);
