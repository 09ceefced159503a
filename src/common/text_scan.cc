#include "common/text_scan.h"

int32_t read_saturated_int(const char* p, const char* end) {
  while (p < end && is_space(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // Accumulate the magnitude up to one past INT32_MAX's, which is enough to saturate.
  constexpr int64_t kCap = int64_t{INT32_MAX} + 1;
  int64_t magnitude = 0;
  for (; p < end && is_digit(*p); ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kCap) magnitude = kCap;
  }
  if (negative) return static_cast<int32_t>(-magnitude);  // -2^31 fits exactly
  return static_cast<int32_t>(magnitude > INT32_MAX ? INT32_MAX : magnitude);
}
