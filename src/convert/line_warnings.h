// The warnings about data lines: why a line was skipped, and what suggests
// that the layout or the order of the file is not what the converter assumes.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/tag_table.h"
#include "convert/line_timestamp.h"
#include "convert/warnings.h"

// Where a warning points: the data file as named and the line's number.
struct LinePlace {
  std::string_view path;
  uint64_t number = 0;
};

// Why a line is malformed; the text of the line itself tells the rest.
enum class MalformedReason { kTimestamp, kTooLong, kBefore1601 };

// A skipped malformed line, with its reason.
void warn_malformed_line(Warnings& warnings, LinePlace place, std::string_view line,
                         MalformedReason reason);

// A fixed-width value of tag `tag`, read from column `column`, whose number
// ends inside its 10 columns with something other than blanks after it.
void warn_misaligned_value(Warnings& warnings, LinePlace place, std::string_view line,
                           size_t column, int tag, const TagTable& tags);

// A delimited line with `fields` fields for `count` tags.
void warn_field_count(Warnings& warnings, LinePlace place, int fields, int count);

// Delimited field `field` (from 0) of the text from `start` on, which is not
// one number; it read as `value`.
void warn_not_a_number(Warnings& warnings, LinePlace place, std::string_view line, size_t start,
                       char separator, int field, double value);

// A line whose time lies before that of the line with a valid time before it.
void warn_backwards(Warnings& warnings, LinePlace place, const LineTimestamp& stamp,
                    uint64_t previous_number, const LineTimestamp& previous);
