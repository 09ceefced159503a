// Conversion between UTC and the local civil time of a tz-database zone, using the rules in
// force at the instant being converted (historical transitions plus the POSIX TZ rule that
// governs times after the last listed transition).
//
// Every look-up remembers the segment (span between two offset changes) it landed in, so a run
// of nearby instants costs two comparisons each and never touches the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One date of a POSIX TZ rule ("Jn", "n" or "Mm.w.d") plus the local wall-clock time of day,
// in seconds, at which the change happens (may be negative or exceed one day).
struct TimeZoneRuleDate {
  enum Kind : uint8_t { kJulian1, kJulian0, kMonthWeekDay };
  Kind kind = kMonthWeekDay;
  int day = 0;      // kJulian1: 1..365 (Feb 29 never counted); kJulian0: 0..365.
  int month = 1;    // kMonthWeekDay: 1..12.
  int week = 1;     // kMonthWeekDay: 1..5, 5 meaning the last such weekday of the month.
  int weekday = 0;  // kMonthWeekDay: 0 (Sunday) .. 6.
  int32_t time = 7200;
};

// A POSIX TZ rule such as "CET-1CEST,M3.5.0,M10.5.0/3". Offsets are east of UTC
// (local = utc + offset), i.e. the negation of how the TZ string writes them.
struct TimeZoneRule {
  int32_t std_offset = 0;
  int32_t dst_offset = 0;
  bool has_dst = false;
  TimeZoneRuleDate start;  // Start of daylight time, written in standard local time.
  TimeZoneRuleDate end;    // End of daylight time, written in daylight local time.
};

// A half-open span [begin, end) of instants (UTC or local, depending on the cache) that share
// one UTC offset.
struct TimeZoneSegment {
  int64_t begin = 1;
  int64_t end = 0;  // begin > end: the empty segment, matches nothing.
  int32_t offset = 0;
};

// A loaded zone. Plain data: copy it freely; each copy keeps its own look-up caches, so give
// each thread its own copy.
struct TimeZone {
  // UTC instants, strictly increasing, at which the offset changes; offsets[i] is in force from
  // transitions[i] on. Transitions that change nothing but the abbreviation are dropped.
  std::vector<int64_t> transitions;
  std::vector<int32_t> offsets;
  // local_switches[i]: first local time that local_to_utc maps with offsets[i] (non-decreasing).
  std::vector<int64_t> local_switches;
  int32_t initial_offset = 0;  // In force before the first transition.
  // When has_rule, `rule` governs UTC instants from rule_begin on and local times from
  // rule_local_begin on (the last listed transition, or the whole time line).
  bool has_rule = false;
  TimeZoneRule rule;
  int64_t rule_begin = INT64_MIN;
  int64_t rule_local_begin = INT64_MIN;
  // Last segment used by utc_offset_at (UTC bounds) and by local_to_utc (local bounds).
  TimeZoneSegment utc_cache;
  TimeZoneSegment local_cache;
};

// The UTC zone: offset 0 at every instant.
TimeZone utc_time_zone();

// Loads the zone the system is set to (TZ, else /etc/localtime), UTC when none can be loaded.
TimeZone load_system_time_zone();

// Loads the zone a TZ value names, as load_system_time_zone does for the environment (for tests
// and tools). nullptr means "TZ unset" (use /etc/localtime). A leading ':' is ignored; an empty
// value means UTC; an absolute path names a TZif file; another value is first looked up as a
// TZif file under $TZDIR (default /usr/share/zoneinfo, names containing ".." are refused), then
// parsed as a POSIX TZ string. Anything that cannot be loaded yields UTC.
TimeZone load_time_zone(const char* tz_value);

// Parses TZif data (versions 1 to 4) held in memory into *zone. Returns false, with *zone left
// partly filled, when the data is truncated or malformed; never reads outside [data, data + size).
bool parse_tzif(const unsigned char* data, size_t size, TimeZone* zone);

// Parses a whole POSIX TZ string ("EST5EDT", "<+0330>-3:30", "CET-1CEST,M3.5.0,M10.5.0/3",
// rule times may carry a sign and up to 167 hours) into *rule. Returns false if malformed.
// A daylight name without rule uses "M3.2.0,M11.1.0".
bool parse_posix_tz(const std::string& text, TimeZoneRule* rule);

// Slow path of utc_offset_at: looks the instant up and refills zone.utc_cache.
int32_t utc_offset_lookup(TimeZone& zone, int64_t utc_seconds);

// Slow path of local_to_utc: looks the local time up and refills zone.local_cache; returns the
// offset to subtract.
int32_t local_offset_lookup(TimeZone& zone, int64_t local_seconds);

// Offset from UTC in seconds (local = utc + offset) in force at the given UTC instant (seconds
// since 1970-01-01 UTC).
inline int32_t utc_offset_at(TimeZone& zone, int64_t utc_seconds) {
  if (utc_seconds >= zone.utc_cache.begin && utc_seconds < zone.utc_cache.end) {
    return zone.utc_cache.offset;
  }
  return utc_offset_lookup(zone, utc_seconds);
}

// Converts a local civil time, given as seconds since 1970-01-01 00:00 as if it were UTC, to UTC
// seconds. A local time that occurs twice (clocks go back) takes the earlier instant; one that
// does not exist (clocks go forward) uses the offset in force just before the change. Saturates
// at the int64 limits instead of overflowing.
inline int64_t local_to_utc(TimeZone& zone, int64_t local_seconds) {
  int32_t offset;
  if (local_seconds >= zone.local_cache.begin && local_seconds < zone.local_cache.end) {
    offset = zone.local_cache.offset;
  } else {
    offset = local_offset_lookup(zone, local_seconds);
  }
  int64_t utc;
  if (__builtin_sub_overflow(local_seconds, static_cast<int64_t>(offset), &utc)) {
    return offset > 0 ? INT64_MIN : INT64_MAX;
  }
  return utc;
}
