// The two layouts of the values behind the timestamp of a data line.
#pragma once

#include <cstddef>

// Fixed-width layout: value k is read from column `start` + 11 * k (10
// columns of value and one of separator). Reading is not cut at 10 columns;
// a position at or beyond the line's end reads 0.0.
void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values);

// Delimited layout: the text from column `start` on is split at `separator`.
// Fields beyond `count` are ignored, an empty field reads 0.0, and when the
// line has fewer fields than `count` its last field is repeated for the
// remaining tags. A line that ends at or before `start` gives 0.0 for every tag.
void extract_line_values(const char* line, size_t size, size_t start, int count, char separator,
                         double* values);
