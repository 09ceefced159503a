// Conversion between UTC and the local civil time of a zone, with the rules in force at the
// instant being converted. Pure computation: the zone's offsets come from a function its maker
// supplies (the system's zone: convert/system_time_zone.h).
//
// That function answers one instant at a time (the C library's localtime_r, say). A zone
// remembers what its look-ups found: a span of UTC instants known to share one offset, and the
// local day last converted. A run of nearby times thus costs a comparison or two each; the
// function is asked only when a time reaches a day not seen yet, a few dozen calls per day.
#pragma once

#include <cstdint>

// Most offset changes remembered around one local day (tz data has at most two within the
// three days looked at; only contrived TZ rules have more, and those beyond are ignored).
constexpr int kMaxZoneChanges = 8;

// A half-open span [begin, end) of UTC instants that share one offset (local = utc + offset).
struct ZoneSpan {
  int64_t begin = 1;
  int64_t end = 0;  // begin >= end: the empty span
  int32_t offset = 0;
};

// The offset changes of a stretch of UTC instants, in time order.
struct ZoneChanges {
  int count = 0;
  int32_t offsets[kMaxZoneChanges + 1] = {};  // offsets[i + 1] is in force from at[i] on
  int64_t at[kMaxZoneChanges] = {};
  // First local time that maps with offsets[i + 1] under the earlier-instant rule (non-decreasing).
  int64_t local_from[kMaxZoneChanges] = {};
};

// The local day last converted, [begin, end) in local seconds.
struct ZoneDay {
  int64_t begin = 1;
  int64_t end = 0;       // begin >= end: no day
  bool uniform = false;  // one offset for the whole day, no local time repeated or skipped
  int32_t offset = 0;    // uniform: that offset
  ZoneChanges changes;   // not uniform: the changes around the day
};

// A zone: only look-up caches, as `offset_at` holds the rules. Plain data: give each thread its
// own copy.
struct TimeZone {
  ZoneSpan known;
  ZoneDay day;
  // The offset from UTC in seconds (local = utc + offset) at a UTC instant, asked when the caches
  // do not know it. Null only in a zone that utc_time_zone or load_system_time_zone did not make.
  int32_t (*offset_at)(int64_t utc_seconds) = nullptr;
};

// The instants of one local time: `later` differs from `earlier` when the local time occurs
// twice (clocks go back). A local time that does not exist (clocks go forward) has one instant,
// taken with the offset in force before the change.
struct LocalInstants {
  int64_t earlier;
  int64_t later;
};

// The UTC zone: offset 0 at every instant, without asking the system.
TimeZone utc_time_zone();

// Slow path of utc_offset_at: asks zone.offset_at and refills zone.known.
int32_t utc_offset_lookup(TimeZone& zone, int64_t utc_seconds);

// Slow path of local_instants: works out the day of the local time and refills zone.day.
LocalInstants local_instants_lookup(TimeZone& zone, int64_t local_seconds);

// Offset from UTC in seconds (local = utc + offset) in force at the given UTC instant (seconds
// since 1970-01-01 UTC, within about 35,000 years of it).
inline int32_t utc_offset_at(TimeZone& zone, int64_t utc_seconds) {
  if (utc_seconds >= zone.known.begin && utc_seconds < zone.known.end) return zone.known.offset;
  return utc_offset_lookup(zone, utc_seconds);
}

// The UTC instants (seconds) of a local civil time, given as seconds since 1970-01-01 00:00 as if
// it were UTC. Times beyond about 35,000 years from 1970 take the offset of that limit.
inline LocalInstants local_instants(TimeZone& zone, int64_t local_seconds) {
  if (local_seconds >= zone.day.begin && local_seconds < zone.day.end && zone.day.uniform) {
    const int64_t utc = local_seconds - zone.day.offset;
    return {utc, utc};
  }
  return local_instants_lookup(zone, local_seconds);
}
