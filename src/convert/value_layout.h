// The two layouts of the values behind the timestamp of a data line.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/tag_table.h"
#include "convert/plain_field.h"

// How the values are written, beyond their layout.
struct ValueSyntax {
  bool decimal_comma = false;  // ',' is the decimal point of values, and '.' ends a number
  bool blanks = false;         // delimited: fields are split at runs of blanks and tabs
  bool nan = false;            // a value that is not in the line reads kMissingValue
};

// What a value that is not in the line reads with ValueSyntax::nan: the quiet NaN.
inline constexpr double kMissingValue = std::bit_cast<double>(uint64_t{0x7FF8000000000000});

// The decimal point of `syntax`.
constexpr char decimal_point(const ValueSyntax& syntax) {
  return syntax.decimal_comma ? ',' : '.';
}

// Whether `c` splits fields with ValueSyntax::blanks.
constexpr bool is_blank_or_tab(char c) {
  return c == ' ' || c == '\t';
}

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

// Why the fixed-width field at `column` of [line, line + size) is unusual,
// read with the decimal point `dot`.
FieldFault fixed_field_fault(const char* line, size_t size, size_t column, char dot = '.');

// Whether the delimited field [field, field_end) holds one number and
// nothing but white space around it (or nothing at all); `limit` as for
// read_number, `dot` the decimal point.
bool delimited_field_is_number(const char* field, const char* field_end, const char* limit,
                               char dot = '.');

// Whether the number at the start of [p, end) lies beyond binary64's range;
// `number` receives its text, without the white space before it.
bool number_beyond_range(const char* p, const char* end, std::string_view& number, char dot = '.');

// Whether the number at the start of [p, end), read with '.' as the decimal
// point, stops at a ',' that stands between digits: a decimal comma.
bool stops_at_decimal_comma(const char* p, const char* end);

// With ValueSyntax::blanks, the end of the field that [p, end) begins with,
// the blanks and tabs before it included; nullptr when only those remain.
inline const char* blank_field_end(const char* p, const char* end) {
  while (p < end && is_blank_or_tab(*p)) ++p;
  if (p == end) return nullptr;
  while (p < end && !is_blank_or_tab(*p)) ++p;
  return p;
}

// What the fast path learned from the last plain field of each tag: the next
// line's field of the same shape reads without the tests. One per thread.
struct FieldShapes {
  plain_field::Shape tag[kMaxTags];
};

// Fixed-width layout: value k is read from column `start` + 11 * k (10
// columns of value and one of separator). Reading is not cut at 10 columns;
// a position at or beyond the line's end reads 0.0. `findings` receives the
// first unusual field and the first number beyond binary64's range; `shapes`
// carries what was learned from line to line. With `syntax.nan`, a field
// whose columns are blank or lie beyond the line's end, or whose text does
// not begin a number, reads kMissingValue.
void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                          LayoutFindings& findings, FieldShapes& shapes, const ValueSyntax& syntax);

// extract_fixed_values with the default ValueSyntax, as fast as it gets.
void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                          LayoutFindings& findings, FieldShapes& shapes);

// extract_fixed_values without the findings.
void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                          const ValueSyntax& syntax = {});

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
// With `syntax.blanks` the fields are split at runs of blanks and tabs
// instead, as awk splits them: blanks before the first field and after the
// last make no field, and a field reads with the blanks before it. With
// `syntax.nan`, a field that does not begin a number (an empty one
// included) and every tag beyond the line's last field read kMissingValue.
void extract_line_values(const char* line, size_t size, const char* limit, size_t start, int count,
                         char separator, double* values, LayoutFindings& findings,
                         FieldShapes& shapes, const ValueSyntax& syntax);

// extract_line_values with the default ValueSyntax, as fast as it gets.
void extract_line_values(const char* line, size_t size, const char* limit, size_t start, int count,
                         char separator, double* values, LayoutFindings& findings,
                         FieldShapes& shapes);

// extract_line_values that loads nothing past the line and notes nothing.
void extract_line_values(const char* line, size_t size, size_t start, int count, char separator,
                         double* values, const ValueSyntax& syntax = {});
