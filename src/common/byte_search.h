// Looks for one byte value 64 bytes at a time: four 16-byte compares whose
// results make one bit mask, so that the next match is found without a call
// and without waiting on the one before.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace byte_search {

// Bytes one search step loads: that many must be readable from its start.
inline constexpr ptrdiff_t kWindow = 64;

#if defined(__SSE2__)

inline constexpr bool kAvailable = true;

// One bit per byte equal to `c` among the 64 from `p` (the first byte
// lowest), left out from byte `available` on.
inline uint64_t equal_64(const char* p, ptrdiff_t available, char c) {
  const __m128i wanted = _mm_set1_epi8(c);
  const auto mask16 = [&](int at) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    return uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)))} << at;
  };
  const uint64_t found = mask16(0) | mask16(16) | mask16(32) | mask16(48);
  return available >= kWindow ? found : found & ((uint64_t{1} << available) - 1);
}

#else

// Other processors search with memchr.
inline constexpr bool kAvailable = false;
inline uint64_t equal_64(const char*, ptrdiff_t, char) {
  return 0;
}

#endif

}  // namespace byte_search
