// The two layouts of the values behind the timestamp of a data line.
#pragma once

#include <cstddef>
#include <string_view>

#include "common/tag_table.h"
#include "convert/plain_field.h"

// What the values of one line reveal about a layout that does not fit the
// file, for the warnings; -1 where nothing was found.
struct LayoutFindings {
  // Fixed width: the first tag whose number does not end exactly where its 10
  // columns do, or whose column lies beyond the line's end: where the line's
  // fields need a closer look (fixed_field_fault), which right-aligned
  // numbers never do.
  int unusual = -1;
  // Delimited: the number of fields when it is not the tag count (text after
  // the last tag's field counts only when it is not blank).
  int fields = -1;
  // Delimited: the first field that holds text that is not one number; the
  // fields after it may hold more (delimited_field_is_number).
  int not_a_number = -1;
  // Delimited: the first of the line's fields that is empty or blank (it reads 0); none
  // on a line without fields, whose field count tells it all.
  int empty = -1;
  // Both: the first tag whose number lies beyond binary64's range (it reads
  // infinity or 0); the tags after it may hold more (number_beyond_range).
  int out_of_range = -1;
};

// What a fixed-width field holds when it is not a right-aligned number.
enum class FieldFault {
  kNone,        // a number, perhaps shorter or wider than the field
  kMisaligned,  // a number that ends inside the field, with more than blanks after it
  kBlank,       // white space only: it reads the number after it, or 0 when there is none
  kNotANumber,  // text that does not begin a number ("NaN", "-", "N/A"): it reads 0
  kBeyondLine,  // the line ends before the field: it reads 0
};

// Why the fixed-width field at `column` of [line, line + size) is unusual.
FieldFault fixed_field_fault(const char* line, size_t size, size_t column);

// Whether the delimited field [field, field_end) holds one number and
// nothing but white space around it (or nothing at all); `limit` as for
// read_number.
bool delimited_field_is_number(const char* field, const char* field_end, const char* limit);

// Whether the number at the start of [p, end) lies beyond binary64's range;
// `number` receives its text, without the white space before it.
bool number_beyond_range(const char* p, const char* end, std::string_view& number);

// What the fast path learned from the last plain field of each tag: the next
// line's field of the same shape reads without the tests. One per thread.
struct FieldShapes {
  plain_field::Shape tag[kMaxTags];
};

// Fixed-width layout: value k is read from column `start` + 11 * k (10
// columns of value and one of separator). Reading is not cut at 10 columns;
// a position at or beyond the line's end reads 0.0. `findings` receives the
// first unusual field and the first number beyond binary64's range; `shapes`
// carries what was learned from line to line.
void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                          LayoutFindings& findings, FieldShapes& shapes);

// extract_fixed_values without the findings.
void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values);

// Delimited layout: the text from column `start` on is split at `separator`.
// Fields beyond `count` are ignored, an empty field reads 0.0, and when the
// line has fewer fields than `count` its last field is repeated for the
// remaining tags. A line that ends at or before `start` gives 0.0 for every
// tag. `limit` (at or past the line's end, in the same buffer) is how far
// loads may reach: with 64 bytes after the line (kBlockPadding), separators
// are found 64 bytes at a time. Bytes past the line's end never change a
// result. `findings` receives the field count, the first field that is not
// a number, the first empty one and the first number beyond binary64's
// range; `shapes` as for extract_fixed_values.
void extract_line_values(const char* line, size_t size, const char* limit, size_t start, int count,
                         char separator, double* values, LayoutFindings& findings,
                         FieldShapes& shapes);

// extract_line_values that loads nothing past the line and notes nothing.
void extract_line_values(const char* line, size_t size, size_t start, int count, char separator,
                         double* values);
