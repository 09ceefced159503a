// The two layouts of the values behind the timestamp of a data line.
#pragma once

#include <cstddef>

// What the values of one line reveal about a layout that does not fit the
// file, for the warnings; -1 where nothing was found.
struct LayoutFindings {
  // Fixed width: the first tag whose number ends inside its 10 columns and is
  // followed there by something other than blanks (a TAB, ',', text).
  int misaligned = -1;
  // Delimited: the number of fields when it is not the tag count (text after
  // the last tag's field counts only when it is not blank).
  int fields = -1;
  // Delimited: the first field that holds text that is not one number.
  int not_a_number = -1;
};

// Fixed-width layout: value k is read from column `start` + 11 * k (10
// columns of value and one of separator). Reading is not cut at 10 columns;
// a position at or beyond the line's end reads 0.0.
void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values);

// extract_fixed_values that also looks for a misaligned value.
void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                          LayoutFindings& findings);

// Delimited layout: the text from column `start` on is split at `separator`.
// Fields beyond `count` are ignored, an empty field reads 0.0, and when the
// line has fewer fields than `count` its last field is repeated for the
// remaining tags. A line that ends at or before `start` gives 0.0 for every
// tag. `findings` receives the field count and the first field that is not a
// number.
void extract_line_values(const char* line, size_t size, size_t start, int count, char separator,
                         double* values, LayoutFindings& findings);

// extract_line_values without the findings.
void extract_line_values(const char* line, size_t size, size_t start, int count, char separator,
                         double* values);
