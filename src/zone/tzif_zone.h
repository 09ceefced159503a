// The offset history of a time zone read from a compiled zone file (TZif, RFC 8536, versions 1
// to 4) or from a POSIX TZ string: which UTC offset was in force at any instant. Pure
// computation: the caller reads the file and hands over its bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "zone/posix_tz_rule.h"

// A zone's rules. The default value is UTC. Plain data, safe to share between threads.
struct ZoneRules {
  // UTC instants (seconds since 1970), strictly increasing, at which the offset changes;
  // offsets[i] (east of UTC: local = utc + offset) is in force from transitions[i] on.
  // Transitions that change only the abbreviation or the daylight flag are dropped.
  std::vector<int64_t> transitions;
  std::vector<int32_t> offsets;
  int32_t initial_offset = 0;  // in force before the first transition
  // When present, governs the instants from rule_begin on (a file's last transition, or
  // everything for a TZ string).
  std::optional<PosixRule> rule;
  int64_t rule_begin = INT64_MIN;
};

// Reads TZif bytes: the 64-bit data of version 2 and later with the footer's TZ string for
// times after the last transition (an unreadable or empty footer leaves the last offset in
// force), or the 32-bit data of version 1. Nullopt when the bytes are truncated or
// inconsistent; never reads outside `bytes`.
std::optional<ZoneRules> rules_from_tzif(std::string_view bytes);

// Rules of a TZ string ("CET-1CEST,M3.5.0,M10.5.0/3"); nullopt when it is malformed.
std::optional<ZoneRules> rules_from_posix_tz(std::string_view text);

// The span of instants around `utc_seconds` that share its offset. Spans may end where the
// offset does not change; walking from one span's end to the next visits every change. A TZ
// string's rule reads before 1970 as the GNU C library reads it (see rule_span_before_1970).
OffsetSpan zone_span_at(const ZoneRules& rules, int64_t utc_seconds);

// The UTC offset in seconds (local = utc + offset) in force at `utc_seconds`.
inline int32_t zone_offset_at(const ZoneRules& rules, int64_t utc_seconds) {
  return zone_span_at(rules, utc_seconds).offset;
}
