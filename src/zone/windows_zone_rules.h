// Local time from a Windows time zone's own rules: one daylight-saving rule per year, as
// GetTimeZoneInformationForYear gives it. Used for a system zone that has no zone file; such
// rules often hold only today's dates, so past years may be off. Pure computation: the caller
// supplies the rule of each year.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "zone/posix_tz_rule.h"

// A date of a yearly rule as a SYSTEMTIME of TIME_ZONE_INFORMATION holds it: with year 0, the
// `day`th (1 to 5, 5 meaning the last) `day_of_week` (0 Sunday to 6) of `month`; with a year,
// that calendar date (`day` of `month`).
struct WindowsChangeDate {
  int year = 0;
  int month = 0;  // 1 to 12; 0 in either date of a year: no daylight time
  int day_of_week = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

// A zone's rule for one year, as TIME_ZONE_INFORMATION holds it: UTC = local time + bias
// minutes, plus standard_bias in standard time and daylight_bias in daylight time.
struct WindowsZoneYear {
  int32_t bias = 0;
  int32_t standard_bias = 0;
  int32_t daylight_bias = 0;
  WindowsChangeDate standard_date;  // daylight time ends, in daylight local time
  WindowsChangeDate daylight_date;  // daylight time starts, in standard local time
};

// The rule of a year as a POSIX rule; a change at 23:59:59.999 counts from midnight.
PosixRule posix_rule_for_windows_year(const WindowsZoneYear& year);

// The rule of `year` (1601 to 30827), or nullopt when the system has none.
using WindowsYearRules = std::function<std::optional<WindowsZoneYear>(int year)>;

// The span of instants around `utc_seconds` that share its offset, under the rule of the year
// (counted in that year's standard local time) that the instant falls in. A span ends at the
// latest where its year does. Years outside 1601-30827 take the rule of the nearer limit; a
// year without a rule has offset 0.
OffsetSpan windows_zone_span_at(const WindowsYearRules& year_rules, int64_t utc_seconds);
