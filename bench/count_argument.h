// The count arguments of the benchmark programs.
#pragma once

#include <cstdlib>

// Reads `text` as a whole decimal number from `low` to `high` into `out`;
// false, leaving `out` alone, for anything else.
inline bool parse_count(const char* text, long long low, long long high, long long& out) {
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  out = v;
  return true;
}
