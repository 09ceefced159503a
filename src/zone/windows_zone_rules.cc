#include "zone/windows_zone_rules.h"

#include <algorithm>

#include "common/ticks.h"

namespace {

constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;
constexpr int64_t kSecondsPerDay = 86400;

// A rule date of the POSIX form: the nth weekday of a month, or for a dated change its day of
// the year counted from 0 with February 29.
RuleDate rule_date(const WindowsChangeDate& date) {
  RuleDate rule;
  if (date.year == 0) {
    rule.kind = RuleDate::kMonthWeekDay;
    rule.month = date.month;
    rule.week = std::clamp(date.day, 1, 5);
    rule.weekday = std::clamp(date.day_of_week, 0, 6);
  } else {
    rule.kind = RuleDate::kJulian0;
    rule.day = static_cast<int>(days_from_civil(date.year, date.month, date.day) -
                                days_from_civil(date.year, 1, 1));
  }
  rule.time = date.hour * 3600 + date.minute * 60 + date.second;
  if (date.milliseconds == 999) ++rule.time;  // 23:59:59.999 stands for the midnight after it
  return rule;
}

}  // namespace

PosixRule posix_rule_for_windows_year(const WindowsZoneYear& year) {
  PosixRule rule;
  rule.std_offset = -(year.bias + year.standard_bias) * 60;
  rule.dst_offset = -(year.bias + year.daylight_bias) * 60;
  rule.has_dst = year.standard_date.month != 0 && year.daylight_date.month != 0 &&
                 rule.dst_offset != rule.std_offset;
  if (rule.has_dst) {
    rule.start = rule_date(year.daylight_date);
    rule.end = rule_date(year.standard_date);
  }
  return rule;
}

OffsetSpan windows_zone_span_at(const WindowsYearRules& year_rules, int64_t utc_seconds) {
  // The year of the instant in UTC first; the year's own standard offset may move it by one.
  int year = static_cast<int>(
      std::clamp<int64_t>(civil_from_seconds(utc_seconds).year, kFirstYear, kLastYear));
  PosixRule rule;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const std::optional<WindowsZoneYear> found = year_rules(year);
    rule = found ? posix_rule_for_windows_year(*found) : PosixRule{};
    const int local_year = static_cast<int>(std::clamp<int64_t>(
        civil_from_seconds(utc_seconds + rule.std_offset).year, kFirstYear, kLastYear));
    if (local_year == year) break;
    year = local_year;
  }
  OffsetSpan span = rule_span_at(rule, utc_seconds);
  // The first and last years reach out to every instant before and after them.
  if (year > kFirstYear) {
    span.begin =
        std::max(span.begin, days_from_civil(year, 1, 1) * kSecondsPerDay - rule.std_offset);
  }
  if (year < kLastYear) {
    span.end =
        std::min(span.end, days_from_civil(year + 1, 1, 1) * kSecondsPerDay - rule.std_offset);
  }
  return span;
}
