// POSIX TZ strings such as "CET-1CEST,M3.5.0,M10.5.0/3": a standard offset and, optionally, a
// daylight offset with the yearly dates on which daylight time starts and ends. Pure
// computation, no system calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// One date of a rule ("Jn", "n" or "Mm.w.d") and the local wall-clock time of day, in seconds,
// at which the change happens (may be negative or beyond one day).
struct RuleDate {
  enum Kind : uint8_t { kJulian1, kJulian0, kMonthWeekDay };
  Kind kind = kMonthWeekDay;
  int day = 0;      // kJulian1: 1..365, February 29 never counted; kJulian0: 0..365
  int month = 1;    // kMonthWeekDay: 1..12
  int week = 1;     // kMonthWeekDay: 1..5, 5 meaning the last such weekday of the month
  int weekday = 0;  // kMonthWeekDay: 0 (Sunday) .. 6
  int32_t time = 7200;
};

// A parsed TZ string. Offsets are east of UTC (local = utc + offset), the negation of how the
// string writes them.
struct PosixRule {
  int32_t std_offset = 0;
  int32_t dst_offset = 0;
  bool has_dst = false;
  RuleDate start;  // start of daylight time, in standard local time
  RuleDate end;    // end of daylight time, in daylight local time
};

// A half-open span [begin, end) of UTC instants (seconds since 1970) sharing one offset.
struct OffsetSpan {
  int64_t begin;
  int64_t end;
  int32_t offset;
};

// Parses a whole TZ string: names of three or more letters or "<...>" of three or more of
// [A-Za-z0-9+-], offsets [+-]hh[:mm[:ss]] up to 24 hours, rule times up to 167 hours either
// side. A daylight name without dates uses "M3.2.0,M11.1.0". Nullopt when malformed.
std::optional<PosixRule> parse_posix_rule(std::string_view text);

// The span of the rule containing `utc_seconds`. Each year, counted in standard local time, is
// governed by its own start and end alone; an end before the start means daylight time spans
// the turn of the year. Instants beyond about 35 million years from 1970 take the offset of
// that limit. A span ends at the latest where its year does, whether or not the offset changes.
OffsetSpan rule_span_at(const PosixRule& rule, int64_t utc_seconds);

// The span of the rule containing `utc_seconds`, an instant before 1970, as the GNU C library
// reads the rule there: it counts each year's changes from 1970-01-01 rather than from the
// year's own start, so before 1970 daylight time that lies within a year never comes, and
// daylight time that spans the turn of the year lasts all year. Spans end at the latest where
// the UTC year or 1969 does.
OffsetSpan rule_span_before_1970(const PosixRule& rule, int64_t utc_seconds);
