#include "zone/time_zone.h"

#include <algorithm>

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Probe spacing. tz data keeps every offset for days (1850-2100: at least 95 hours), so two
// probes an hour apart see at most one change, which bisection then pins to the second.
constexpr int64_t kProbeStep = 3600;
// More than any UTC offset (tz data: under 16 hours): the instants of a local day lie within
// this distance of the day's bounds read as UTC.
constexpr int64_t kReach = 26 * 3600;
// Look-ups are clamped to this many seconds around 1970 (about 35,000 years), which keeps the
// sums below in range and the year within what struct tm holds.
constexpr int64_t kLimit = int64_t{1} << 40;

int64_t floor_div(int64_t a, int64_t b) {
  return a / b - (a % b < 0 ? 1 : 0);
}

int64_t saturating_sub(int64_t a, int64_t b) {
  int64_t difference;
  if (__builtin_sub_overflow(a, b, &difference)) return b > 0 ? INT64_MIN : INT64_MAX;
  return difference;
}

int32_t probe(const TimeZone& zone, int64_t utc) {
  if (utc >= zone.known.begin && utc < zone.known.end) return zone.known.offset;
  return zone.offset_at(utc);
}

int32_t zero_offset(int64_t) {
  return 0;
}

// Adds a span found to share one offset to what the zone knows: joined to the known span when
// the two touch and agree, else in its place.
void remember(TimeZone& zone, const ZoneSpan& span) {
  ZoneSpan& known = zone.known;
  if (known.begin < known.end && known.offset == span.offset && span.begin <= known.end &&
      known.begin <= span.end) {
    known.begin = std::min(known.begin, span.begin);
    known.end = std::max(known.end, span.end);
  } else {
    known = span;
  }
}

// The offset changes among the UTC instants [from, to]; offsets[0] is that of `from`. Stops
// early after kMaxZoneChanges changes.
ZoneChanges find_changes(const TimeZone& zone, int64_t from, int64_t to) {
  ZoneChanges changes;
  int32_t current = probe(zone, from);
  changes.offsets[0] = current;
  for (int64_t t = from; t < to && changes.count < kMaxZoneChanges;) {
    const int64_t next = std::min(t + kProbeStep, to);
    const int32_t offset = probe(zone, next);
    if (offset != current) {
      // The first instant in (t, next] whose offset is no longer `current`.
      int64_t lo = t, hi = next;
      while (hi - lo > 1) {
        const int64_t mid = lo + (hi - lo) / 2;
        (probe(zone, mid) == current ? lo : hi) = mid;
      }
      changes.at[changes.count] = hi;
      changes.offsets[++changes.count] = offset;
      current = offset;
    }
    t = next;
  }
  return changes;
}

// The span from the last change found in [from, to] to `to`, which the probes showed to share
// one offset; empty when find_changes stopped early.
ZoneSpan last_piece(const ZoneChanges& changes, int64_t from, int64_t to) {
  if (changes.count == kMaxZoneChanges) return ZoneSpan{};
  const int64_t begin = changes.count == 0 ? from : changes.at[changes.count - 1];
  return ZoneSpan{begin, to + 1, changes.offsets[changes.count]};
}

// Works out the local day [begin, begin + 1 day) from the changes around it.
void fill_day(TimeZone& zone, int64_t begin) {
  const int64_t end = begin + kSecondsPerDay;
  ZoneDay& day = zone.day;
  day = ZoneDay{begin, end, true, 0, find_changes(zone, begin - kReach, end + kReach)};
  ZoneChanges& changes = day.changes;
  int in_force = 0;  // The changes that take effect by the day's first local time.
  for (int i = 0; i < changes.count; ++i) {
    const int32_t before = changes.offsets[i];
    const int32_t after = changes.offsets[i + 1];
    // Local times in [at + min, at + max) are repeated or skipped; each is read with the old
    // offset (the earlier instant, or the offset before the change), the new one from there on.
    const int64_t first = changes.at[i] + std::min(before, after);
    const int64_t last = changes.at[i] + std::max(before, after);
    changes.local_from[i] = i == 0 ? last : std::max(last, changes.local_from[i - 1]);
    if ((first < end && last > begin) ||
        (changes.local_from[i] > begin && changes.local_from[i] < end)) {
      day.uniform = false;
    }
    if (changes.local_from[i] <= begin) in_force = i + 1;
  }
  day.offset = changes.offsets[in_force];
  const ZoneSpan piece = last_piece(changes, begin - kReach, end + kReach);
  if (piece.begin < piece.end) remember(zone, piece);
}

}  // namespace

TimeZone utc_time_zone() {
  TimeZone zone;
  zone.known = ZoneSpan{INT64_MIN, INT64_MAX, 0};
  zone.offset_at = zero_offset;
  return zone;
}

int32_t utc_offset_lookup(TimeZone& zone, int64_t utc_seconds) {
  const int64_t t = std::clamp(utc_seconds, -kLimit, kLimit);
  const int64_t from = floor_div(t, kSecondsPerDay) * kSecondsPerDay;
  const int64_t to = from + kSecondsPerDay;
  const ZoneChanges changes = find_changes(zone, from, to);
  int i = 0;
  while (i < changes.count && changes.at[i] <= t) ++i;
  ZoneSpan piece{i == 0 ? from : changes.at[i - 1], i < changes.count ? changes.at[i] : to + 1,
                 changes.offsets[i]};
  if (i == kMaxZoneChanges) piece.end = t + 1;  // The probes stopped at the last change.
  remember(zone, piece);
  return piece.offset;
}

LocalInstants local_instants_lookup(TimeZone& zone, int64_t local_seconds) {
  const int64_t local = std::clamp(local_seconds, -kLimit, kLimit);
  if (local < zone.day.begin || local >= zone.day.end) {
    fill_day(zone, floor_div(local, kSecondsPerDay) * kSecondsPerDay);
  }
  const ZoneDay& day = zone.day;
  if (day.uniform) {
    const int64_t utc = saturating_sub(local_seconds, day.offset);
    return {utc, utc};
  }
  const ZoneChanges& changes = day.changes;
  int in_force = 0;
  for (int i = 0; i < changes.count; ++i) {
    if (changes.local_from[i] <= local) in_force = i + 1;
  }
  LocalInstants instants;
  instants.earlier = local - changes.offsets[in_force];
  instants.later = instants.earlier;
  // Each offset whose instant for this local time lies where that offset is in force.
  for (int j = 0; j <= changes.count; ++j) {
    const int64_t utc = local - changes.offsets[j];
    if ((j == 0 || utc >= changes.at[j - 1]) && (j == changes.count || utc < changes.at[j])) {
      instants.later = std::max(instants.later, utc);
    }
  }
  if (local != local_seconds) {
    const int64_t utc = saturating_sub(local_seconds, changes.offsets[in_force]);
    return {utc, utc};
  }
  return instants;
}
