// Test support: the system's zone files, and a comparison of zone rules with the C library's
// local time where the C library reads TZ (TAGPRESS_C_LIBRARY_READS_TZ, set by the build).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "common/ticks.h"
#include "zone/tzif_zone.h"

#if TAGPRESS_C_LIBRARY_READS_TZ
#include <time.h>

#include "zone/time_zone_for_tests.h"
#endif

// Seconds since 1970 of a UTC date and time.
inline int64_t utc_time(int year, int month, int day, int hour = 0, int minute = 0,
                        int second = 0) {
  return days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

// $TZDIR, else /usr/share/zoneinfo.
inline std::string zone_folder_for_tests() {
  const char* dir = std::getenv("TZDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/usr/share/zoneinfo";
}

// The whole file at `path`; nullopt when it cannot be opened.
inline std::optional<std::string> read_whole_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// How many instants a comparison checked and how many of them disagreed.
struct ComparisonCount {
  int64_t instants = 0;
  int64_t mismatches = 0;
};

// Compares `rules` with the C library's offsets for TZ=tz at `samples` random instants in
// [from, to) and at both ends of every span that `rules` reports there.
// The first mismatches are reported as test failures.
inline ComparisonCount compare_with_c_library([[maybe_unused]] const std::string& tz,
                                              [[maybe_unused]] const ZoneRules& rules,
                                              [[maybe_unused]] int64_t from,
                                              [[maybe_unused]] int64_t to,
                                              [[maybe_unused]] int samples) {
  ComparisonCount count;
#if TAGPRESS_C_LIBRARY_READS_TZ
  ScopedTimeZone scoped(tz.c_str());
  // Compares `offset` with the library's offset at t.
  const auto check = [&](int64_t t, int32_t offset) {
    const time_t instant = static_cast<time_t>(t);
    struct tm fields;
    localtime_r(&instant, &fields);
    ++count.instants;
    if (offset == fields.tm_gmtoff) return;
    if (++count.mismatches <= 3) {
      ADD_FAILURE() << tz << " at " << t << ": " << offset << " against " << fields.tm_gmtoff;
    }
  };
  std::mt19937_64 random(12345);
  std::uniform_int_distribution<int64_t> instant(from, to - 1);
  for (int i = 0; i < samples; ++i) {
    const int64_t t = instant(random);
    check(t, zone_offset_at(rules, t));
  }
  // Each span's offset holds at both of its ends, and the next span starts where it ends.
  for (int64_t t = from; t < to;) {
    const OffsetSpan span = zone_span_at(rules, t);
    if (span.begin > t || span.end <= t) {
      ADD_FAILURE() << tz << ": the span at " << t << " is [" << span.begin << ", " << span.end
                    << ")";
      break;
    }
    check(std::max(span.begin, from), span.offset);
    if (span.end >= to) break;
    check(span.end - 1, span.offset);
    check(span.end, zone_offset_at(rules, span.end));
    t = span.end;
  }
#endif
  return count;
}

// Skips the calling test where the C library cannot serve as the reference.
#if TAGPRESS_C_LIBRARY_READS_TZ
#define SKIP_WITHOUT_C_LIBRARY_ZONES()
#else
#define SKIP_WITHOUT_C_LIBRARY_ZONES() \
  GTEST_SKIP() << "this C library does not read TZ strings or zone files as Linux does"
#endif
