#include "zone/posix_tz_rule.h"

#include <algorithm>
#include <array>

#include "common/text_scan.h"
#include "common/ticks.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Rule look-ups stay within this many seconds of 1970 (about 35 million years), which keeps the
// calendar sums below far from overflowing.
constexpr int64_t kRuleLimit = int64_t{1} << 50;

// ---- Reading the string ----

struct TzText {
  std::string_view rest;
  char peek() const { return rest.empty() ? '\0' : rest.front(); }
  bool take(char c) {
    if (peek() != c) return false;
    rest.remove_prefix(1);
    return true;
  }
};

// A zone abbreviation; only its form is checked, the name itself is not kept.
bool skip_name(TzText& s) {
  const bool quoted = s.take('<');
  size_t length = 0;
  while (length < s.rest.size()) {
    const char c = s.rest[length];
    if (!is_alpha(c) && !(quoted && (is_digit(c) || c == '+' || c == '-'))) break;
    ++length;
  }
  s.rest.remove_prefix(length);
  return length >= 3 && (!quoted || s.take('>'));
}

// An unsigned number of 1 to max_digits digits within [0, max]. A digit left over is refused by
// whatever is read next.
std::optional<int> read_number(TzText& s, int max_digits, int max) {
  int value = 0, digits = 0;
  while (digits < max_digits && is_digit(s.peek())) {
    value = value * 10 + (s.peek() - '0');
    s.rest.remove_prefix(1);
    ++digits;
  }
  if (digits == 0 || value > max) return std::nullopt;
  return value;
}

// [+-]hh[:mm[:ss]] with hh <= max_hours, as signed seconds.
std::optional<int32_t> read_time(TzText& s, int max_hours) {
  int sign = 1;
  if (s.take('-')) {
    sign = -1;
  } else {
    s.take('+');
  }
  const std::optional<int> hours = read_number(s, 3, max_hours);
  if (!hours) return std::nullopt;
  int32_t seconds = *hours * 3600;
  for (int unit : {60, 1}) {
    if (!s.take(':')) break;
    const std::optional<int> part = read_number(s, 2, 59);
    if (!part) return std::nullopt;
    seconds += *part * unit;
  }
  return sign * seconds;
}

// An offset as written (positive west of Greenwich), returned east-positive.
std::optional<int32_t> read_offset(TzText& s) {
  const std::optional<int32_t> west = read_time(s, 24);
  if (!west) return std::nullopt;
  return -*west;
}

// Jn, n or Mm.w.d, then an optional /time.
std::optional<RuleDate> read_rule_date(TzText& s) {
  RuleDate date;
  std::optional<int> day, month, week, weekday;
  if (s.take('J')) {
    day = read_number(s, 3, 365);
    if (!day || *day == 0) return std::nullopt;
    date.kind = RuleDate::kJulian1;
    date.day = *day;
  } else if (s.take('M')) {
    if (!(month = read_number(s, 2, 12)) || *month == 0 || !s.take('.') ||
        !(week = read_number(s, 1, 5)) || *week == 0 || !s.take('.') ||
        !(weekday = read_number(s, 1, 6))) {
      return std::nullopt;
    }
    date.kind = RuleDate::kMonthWeekDay;
    date.month = *month;
    date.week = *week;
    date.weekday = *weekday;
  } else {
    if (!(day = read_number(s, 3, 365))) return std::nullopt;
    date.kind = RuleDate::kJulian0;
    date.day = *day;
  }
  if (s.take('/')) {
    const std::optional<int32_t> time = read_time(s, 167);
    if (!time) return std::nullopt;
    date.time = *time;
  }
  return date;
}

// ---- Evaluating the rule ----

int64_t floor_mod(int64_t a, int64_t b) {
  const int64_t r = a % b;
  return r < 0 ? r + b : r;
}

// Day (since 1970-01-01) on which a rule date falls in the given year.
int64_t rule_day(const RuleDate& date, int64_t year) {
  const int64_t jan1 = days_from_civil(year, 1, 1);
  const bool leap = days_from_civil(year, 3, 1) - days_from_civil(year, 2, 28) == 2;
  switch (date.kind) {
    case RuleDate::kJulian1:
      return jan1 + date.day - 1 + (leap && date.day >= 60 ? 1 : 0);
    case RuleDate::kJulian0:
      return jan1 + date.day;
    case RuleDate::kMonthWeekDay:
      break;
  }
  const int64_t first = days_from_civil(year, date.month, 1);
  const int64_t after_month =
      date.month == 12 ? days_from_civil(year + 1, 1, 1) : days_from_civil(year, date.month + 1, 1);
  const int64_t first_weekday = floor_mod(first + 4, 7);  // 1970-01-01 was a Thursday
  int64_t day = first + floor_mod(date.weekday - first_weekday, 7) + 7 * (date.week - 1);
  if (day >= after_month) day -= 7;  // week 5: the last such weekday
  return day;
}

// From `at` (UTC) on, `offset` is in force.
struct RuleChange {
  int64_t at;
  int32_t offset;
};

// The offsets of one year of the rule, counted in standard local time: from its first instant,
// then from the start and the end of daylight time where they fall inside it. Each year is
// governed by its own dates alone, so rule times that push a date into a neighbouring year,
// or daylight time all year, keep a well-defined offset.
struct YearChanges {
  std::array<RuleChange, 3> list;
  int count = 0;
  int64_t year_end = 0;
};

YearChanges year_changes(const PosixRule& rule, int64_t year) {
  YearChanges changes;
  const int64_t year_begin = days_from_civil(year, 1, 1) * kSecondsPerDay - rule.std_offset;
  changes.year_end = days_from_civil(year + 1, 1, 1) * kSecondsPerDay - rule.std_offset;
  const int64_t start =
      rule_day(rule.start, year) * kSecondsPerDay + rule.start.time - rule.std_offset;
  const int64_t end = rule_day(rule.end, year) * kSecondsPerDay + rule.end.time - rule.dst_offset;
  for (int64_t t : {year_begin, std::min(start, end), std::max(start, end)}) {
    if (t < year_begin || t >= changes.year_end) continue;
    const bool daylight = start < end ? t >= start && t < end : !(t >= end && t < start);
    const int32_t offset = daylight ? rule.dst_offset : rule.std_offset;
    if (changes.count > 0 && changes.list[changes.count - 1].offset == offset) continue;
    changes.list[changes.count++] = {t, offset};
  }
  return changes;
}

// rule_span_at for an instant within the limits.
OffsetSpan span_within_limits(const PosixRule& rule, int64_t t) {
  const YearChanges changes = year_changes(rule, civil_from_seconds(t + rule.std_offset).year);
  int i = changes.count - 1;
  while (i > 0 && changes.list[i].at > t) --i;  // list[0] is the year's first instant
  const int64_t end = i + 1 < changes.count ? changes.list[i + 1].at : changes.year_end;
  return {changes.list[i].at, end, changes.list[i].offset};
}

}  // namespace

std::optional<PosixRule> parse_posix_rule(std::string_view text) {
  TzText s{text};
  PosixRule rule;
  std::optional<int32_t> offset;
  if (!skip_name(s) || !(offset = read_offset(s))) return std::nullopt;
  rule.std_offset = rule.dst_offset = *offset;
  if (s.rest.empty()) return rule;
  if (!skip_name(s)) return std::nullopt;
  rule.has_dst = true;
  rule.dst_offset = rule.std_offset + 3600;
  if (!s.rest.empty() && s.peek() != ',') {
    if (!(offset = read_offset(s))) return std::nullopt;
    rule.dst_offset = *offset;
  }
  if (s.rest.empty()) {
    rule.start = {RuleDate::kMonthWeekDay, 0, 3, 2, 0, 7200};
    rule.end = {RuleDate::kMonthWeekDay, 0, 11, 1, 0, 7200};
    return rule;
  }
  std::optional<RuleDate> start, end;
  if (!s.take(',') || !(start = read_rule_date(s)) || !s.take(',') || !(end = read_rule_date(s)) ||
      !s.rest.empty()) {
    return std::nullopt;
  }
  rule.start = *start;
  rule.end = *end;
  return rule;
}

OffsetSpan rule_span_at(const PosixRule& rule, int64_t utc_seconds) {
  if (!rule.has_dst) return {INT64_MIN, INT64_MAX, rule.std_offset};
  // Beyond the limits the offset of the limit holds; spans are cut there so that they agree.
  if (utc_seconds > kRuleLimit) {
    return {kRuleLimit + 1, INT64_MAX, span_within_limits(rule, kRuleLimit).offset};
  }
  if (utc_seconds < -kRuleLimit) {
    return {INT64_MIN, -kRuleLimit, span_within_limits(rule, -kRuleLimit).offset};
  }
  OffsetSpan span = span_within_limits(rule, utc_seconds);
  span.begin = std::max(span.begin, -kRuleLimit);
  span.end = std::min(span.end, kRuleLimit + 1);
  return span;
}

OffsetSpan rule_span_before_1970(const PosixRule& rule, int64_t utc_seconds) {
  const int64_t year = civil_from_seconds(utc_seconds).year;
  const int64_t jan1 = days_from_civil(year, 1, 1);
  OffsetSpan span{jan1 * kSecondsPerDay,
                  std::min<int64_t>(days_from_civil(year + 1, 1, 1) * kSecondsPerDay, 0),
                  rule.std_offset};
  if (!rule.has_dst) return span;
  // The library's changes of the year, counted from 1970-01-01 instead of the year's start.
  const int64_t start =
      (rule_day(rule.start, year) - jan1) * kSecondsPerDay + rule.start.time - rule.std_offset;
  const int64_t end =
      (rule_day(rule.end, year) - jan1) * kSecondsPerDay + rule.end.time - rule.dst_offset;
  const bool daylight = start > end ? utc_seconds < end || utc_seconds >= start
                                    : utc_seconds >= start && utc_seconds < end;
  if (daylight) span.offset = rule.dst_offset;
  for (const int64_t change : {start, end}) {
    if (change > utc_seconds) {
      span.end = std::min(span.end, change);
    } else {
      span.begin = std::max(span.begin, change);
    }
  }
  return span;
}
