// Turns a broken invariant into a crash that libFuzzer records.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

inline int report_broken_invariant(const char* target, const std::string& broken) {
  if (broken.empty()) return 0;
  std::fprintf(stderr, "%s: %s\n", target, broken.c_str());
  std::abort();
}
