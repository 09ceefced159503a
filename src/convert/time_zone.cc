#include "convert/time_zone.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// TZif files are a few kilobytes; anything far larger is not one (and /dev/zero never ends).
constexpr size_t kMaxTzifSize = 4 << 20;
// UTC offsets beyond a week are garbage; the bound keeps all offset arithmetic small.
constexpr int32_t kMaxOffset = 7 * 86400;
// Rule-based look-ups clamp their input to about +-35 million years so that the calendar
// arithmetic cannot overflow; the offsets there are meaningless anyway.
constexpr int64_t kRuleClamp = int64_t{1} << 50;

int64_t saturating_add(int64_t a, int64_t b) {
  int64_t sum;
  if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? INT64_MAX : INT64_MIN;
  return sum;
}

int64_t floor_div(int64_t a, int64_t b) {
  return a / b - (a % b < 0 ? 1 : 0);
}

bool is_leap_year(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int days_in_month(int64_t year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (era-based, exact for any int64 year
// that keeps the result in range).
int64_t days_from_civil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = floor_div(year, 400);
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

// Calendar year containing the given day (days since 1970-01-01).
int64_t year_from_days(int64_t days) {
  days += 719468;
  const int64_t era = floor_div(days, 146097);
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t month_index = (5 * day_of_year + 2) / 153;  // 0 = March.
  return year_of_era + era * 400 + (month_index >= 10 ? 1 : 0);
}

// Day (since 1970-01-01) on which a rule date falls in the given year.
int64_t rule_day(const TimeZoneRuleDate& date, int64_t year) {
  const int64_t jan1 = days_from_civil(year, 1, 1);
  switch (date.kind) {
    case TimeZoneRuleDate::kJulian1:
      return jan1 + date.day - 1 + (is_leap_year(year) && date.day >= 60 ? 1 : 0);
    case TimeZoneRuleDate::kJulian0:
      return jan1 + date.day;
    case TimeZoneRuleDate::kMonthWeekDay:
      break;
  }
  const int64_t first = days_from_civil(year, date.month, 1);
  const int first_weekday = static_cast<int>(first + 4 - floor_div(first + 4, 7) * 7);
  int64_t day = first + (date.weekday - first_weekday + 7) % 7 + 7 * (date.week - 1);
  const int64_t limit = first + days_in_month(year, date.month);
  while (day >= limit) day -= 7;
  return day;
}

// One change of a POSIX rule: from `at` (UTC) on, `after` is in force instead of `before`.
struct RuleChange {
  int64_t at;
  int32_t before;
  int32_t after;
};

constexpr int kRuleYearsAround = 2;
constexpr int kRuleMaxChanges = 3 * (2 * kRuleYearsAround + 1);

// Whether UTC instant t is in daylight time given that year's start and end of daylight time.
// As in POSIX, an end before the start means daylight time spans the turn of the year.
bool in_daylight_time(int64_t t, int64_t start, int64_t end) {
  return start < end ? t >= start && t < end : !(t >= end && t < start);
}

// Fills `changes` with the offset changes of the rule in the years around `year`, in time order,
// and returns their number; the list stays valid up to *range_end (UTC). Each year (in local
// standard time) is governed by its own start and end dates alone, so rules whose daylight time
// lasts all year ("J365/25") or spills over into a neighbouring year keep a well-defined
// offset. Five years are enough for any instant of the middle year to have changes on both
// sides even when rule times push a change a week away.
int rule_changes(const TimeZoneRule& rule, int64_t year, RuleChange* changes, int64_t* range_end) {
  int n = 0;
  for (int64_t y = year - kRuleYearsAround; y <= year + kRuleYearsAround; ++y) {
    const int64_t year_begin = days_from_civil(y, 1, 1) * kSecondsPerDay - rule.std_offset;
    const int64_t year_end = days_from_civil(y + 1, 1, 1) * kSecondsPerDay - rule.std_offset;
    const int64_t start =
        rule_day(rule.start, y) * kSecondsPerDay + rule.start.time - rule.std_offset;
    const int64_t end = rule_day(rule.end, y) * kSecondsPerDay + rule.end.time - rule.dst_offset;
    int64_t points[3] = {year_begin, 0, 0};
    int count = 1;
    if (start > year_begin && start < year_end) points[count++] = start;
    if (end > year_begin && end < year_end) points[count++] = end;
    if (count == 3 && points[2] < points[1]) std::swap(points[1], points[2]);
    for (int i = 0; i < count; ++i) {
      const int32_t offset =
          in_daylight_time(points[i], start, end) ? rule.dst_offset : rule.std_offset;
      if (n > 0 && changes[n - 1].after == offset) continue;
      changes[n] = {points[i], n > 0 ? changes[n - 1].after : offset, offset};
      ++n;
    }
    *range_end = year_end;
  }
  return n;
}

// Segment of the rule containing UTC instant t.
TimeZoneSegment rule_segment_utc(const TimeZoneRule& rule, int64_t t) {
  if (!rule.has_dst) return {INT64_MIN, INT64_MAX, rule.std_offset};
  t = std::clamp(t, -kRuleClamp, kRuleClamp);
  RuleChange changes[kRuleMaxChanges];
  int64_t range_end;
  const int n = rule_changes(rule, year_from_days(floor_div(t + rule.std_offset, kSecondsPerDay)),
                             changes, &range_end);
  int j = n - 1;
  while (j > 0 && changes[j].at > t) --j;  // changes[0] lies two years before t.
  return {changes[j].at, j + 1 < n ? changes[j + 1].at : range_end, changes[j].after};
}

// Segment of the rule containing local time t, as local_to_utc resolves it: each change takes
// effect at the later of its two local readings, so skipped times keep the old offset and
// repeated times take the first (earlier) instant.
TimeZoneSegment rule_segment_local(const TimeZoneRule& rule, int64_t t) {
  if (!rule.has_dst) return {INT64_MIN, INT64_MAX, rule.std_offset};
  t = std::clamp(t, -kRuleClamp, kRuleClamp);
  RuleChange changes[kRuleMaxChanges];
  int64_t range_end;
  const int n =
      rule_changes(rule, year_from_days(floor_div(t, kSecondsPerDay)), changes, &range_end);
  int64_t switches[kRuleMaxChanges] = {};
  for (int i = 0; i < n; ++i) {
    switches[i] = changes[i].at + std::max(changes[i].before, changes[i].after);
    if (i > 0) switches[i] = std::max(switches[i], switches[i - 1]);
  }
  int j = n - 1;
  while (j > 0 && switches[j] > t) --j;
  const int64_t end = j + 1 < n ? switches[j + 1] : range_end + changes[j].after;
  return {switches[j], end, changes[j].after};
}

// Looks `t` up in a table of change points (UTC transitions or local switches) that share the
// zone's offsets; `limit` ends the table's last segment.
TimeZoneSegment table_segment(const std::vector<int64_t>& points,
                              const std::vector<int32_t>& offsets, int32_t initial_offset,
                              int64_t limit, int64_t t) {
  const auto it = std::upper_bound(points.begin(), points.end(), t);
  const size_t next = static_cast<size_t>(it - points.begin());
  const int64_t end = next < points.size() ? points[next] : limit;
  if (next == 0) return {INT64_MIN, end, initial_offset};
  return {points[next - 1], end, offsets[next - 1]};
}

// ---- POSIX TZ strings ----

struct Cursor {
  const char* p;
  const char* end;
  bool at_end() const { return p == end; }
  char peek() const { return p == end ? '\0' : *p; }
};

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_alpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Zone abbreviation: three or more letters, or "<...>" holding three or more of [A-Za-z0-9+-].
bool parse_name(Cursor& c) {
  if (c.peek() == '<') {
    ++c.p;
    const char* start = c.p;
    while (!c.at_end() && (is_alpha(*c.p) || is_digit(*c.p) || *c.p == '+' || *c.p == '-')) ++c.p;
    if (c.p - start < 3 || c.peek() != '>') return false;
    ++c.p;
    return true;
  }
  const char* start = c.p;
  while (!c.at_end() && is_alpha(*c.p)) ++c.p;
  return c.p - start >= 3;
}

// Unsigned number of 1..max_digits digits.
bool parse_number(Cursor& c, int max_digits, int* value) {
  int digits = 0;
  *value = 0;
  while (!c.at_end() && is_digit(*c.p) && digits < max_digits) {
    *value = *value * 10 + (*c.p - '0');
    ++c.p;
    ++digits;
  }
  return digits > 0 && !is_digit(c.peek());
}

// [+-]hh[:mm[:ss]] with hh <= max_hours, as signed seconds.
bool parse_hms(Cursor& c, int max_hours, int32_t* seconds) {
  int sign = 1;
  if (c.peek() == '+' || c.peek() == '-') {
    sign = c.peek() == '-' ? -1 : 1;
    ++c.p;
  }
  int hours, minutes = 0, secs = 0;
  if (!parse_number(c, 3, &hours) || hours > max_hours) return false;
  if (c.peek() == ':') {
    ++c.p;
    if (!parse_number(c, 2, &minutes) || minutes > 59) return false;
    if (c.peek() == ':') {
      ++c.p;
      if (!parse_number(c, 2, &secs) || secs > 59) return false;
    }
  }
  *seconds = sign * (hours * 3600 + minutes * 60 + secs);
  return true;
}

// Offset as written in a TZ string (positive west), returned east-positive.
bool parse_offset(Cursor& c, int32_t* offset) {
  int32_t west;
  if (!parse_hms(c, 24, &west)) return false;
  *offset = -west;
  return true;
}

// Jn, n or Mm.w.d, then an optional /time (hours -167..167).
bool parse_rule_date(Cursor& c, TimeZoneRuleDate* date) {
  int value;
  if (c.peek() == 'J') {
    ++c.p;
    if (!parse_number(c, 3, &value) || value < 1 || value > 365) return false;
    date->kind = TimeZoneRuleDate::kJulian1;
    date->day = value;
  } else if (c.peek() == 'M') {
    ++c.p;
    int week, weekday;
    if (!parse_number(c, 2, &value) || value < 1 || value > 12 || c.peek() != '.') return false;
    ++c.p;
    if (!parse_number(c, 1, &week) || week < 1 || week > 5 || c.peek() != '.') return false;
    ++c.p;
    if (!parse_number(c, 1, &weekday) || weekday > 6) return false;
    date->kind = TimeZoneRuleDate::kMonthWeekDay;
    date->month = value;
    date->week = week;
    date->weekday = weekday;
  } else {
    if (!parse_number(c, 3, &value) || value > 365) return false;
    date->kind = TimeZoneRuleDate::kJulian0;
    date->day = value;
  }
  date->time = 7200;
  if (c.peek() == '/') {
    ++c.p;
    if (!parse_hms(c, 167, &date->time)) return false;
  }
  return true;
}

// ---- TZif ----

struct Reader {
  const unsigned char* p;
  size_t left;
};

uint32_t read_be32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

int64_t read_be64(const unsigned char* p) {
  return static_cast<int64_t>(static_cast<uint64_t>(read_be32(p)) << 32 | read_be32(p + 4));
}

struct TzifHeader {
  char version;
  uint32_t isutcnt, isstdcnt, leapcnt, timecnt, typecnt, charcnt;
};

bool read_header(Reader& r, TzifHeader* h) {
  if (r.left < 44 || std::memcmp(r.p, "TZif", 4) != 0) return false;
  h->version = static_cast<char>(r.p[4]);
  if (h->version != '\0' && h->version < '2') return false;
  h->isutcnt = read_be32(r.p + 20);
  h->isstdcnt = read_be32(r.p + 24);
  h->leapcnt = read_be32(r.p + 28);
  h->timecnt = read_be32(r.p + 32);
  h->typecnt = read_be32(r.p + 36);
  h->charcnt = read_be32(r.p + 40);
  r.p += 44;
  r.left -= 44;
  // Counts the format ties together; a mismatch means the header is garbage.
  return h->typecnt != 0 && (h->isutcnt == 0 || h->isutcnt == h->typecnt) &&
         (h->isstdcnt == 0 || h->isstdcnt == h->typecnt);
}

uint64_t block_size(const TzifHeader& h, int time_size) {
  return uint64_t{h.timecnt} * (time_size + 1) + uint64_t{h.typecnt} * 6 + h.charcnt +
         uint64_t{h.leapcnt} * (time_size + 4) + h.isstdcnt + h.isutcnt;
}

// Reads one data block (time_size 4 or 8) into the zone's transition table.
bool read_block(Reader& r, const TzifHeader& h, int time_size, TimeZone* zone,
                int64_t* last_transition, int32_t* offset_before_last) {
  const uint64_t size = block_size(h, time_size);
  if (size > r.left) return false;
  const unsigned char* times = r.p;
  const unsigned char* indices = times + size_t{h.timecnt} * time_size;
  const unsigned char* types = indices + h.timecnt;

  std::vector<int32_t> type_offsets(h.typecnt);
  for (uint32_t i = 0; i < h.typecnt; ++i) {
    const unsigned char* t = types + size_t{i} * 6;
    const int32_t offset = static_cast<int32_t>(read_be32(t));
    if (offset < -kMaxOffset || offset > kMaxOffset || t[4] > 1 || t[5] >= h.charcnt) return false;
    type_offsets[i] = offset;
  }

  zone->initial_offset = type_offsets[0];
  int32_t current = zone->initial_offset;
  int64_t previous_time = INT64_MIN;
  for (uint32_t i = 0; i < h.timecnt; ++i) {
    const unsigned char* t = times + size_t{i} * time_size;
    const int64_t at = time_size == 8 ? read_be64(t) : static_cast<int32_t>(read_be32(t));
    if (i > 0 && at <= previous_time) return false;
    previous_time = at;
    if (indices[i] >= h.typecnt) return false;
    const int32_t offset = type_offsets[indices[i]];
    *last_transition = at;
    *offset_before_last = current;
    if (offset == current) continue;
    int64_t local_switch = saturating_add(at, std::max(current, offset));
    if (!zone->local_switches.empty()) {
      local_switch = std::max(local_switch, zone->local_switches.back());
    }
    zone->transitions.push_back(at);
    zone->offsets.push_back(offset);
    zone->local_switches.push_back(local_switch);
    current = offset;
  }
  r.p += size;
  r.left -= size;
  return true;
}

bool read_file(const std::string& path, std::string* contents) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  contents->clear();
  char buffer[8192];
  bool ok = true;
  for (;;) {
    const size_t n = std::fread(buffer, 1, sizeof buffer, file);
    contents->append(buffer, n);
    if (contents->size() > kMaxTzifSize) {
      ok = false;
      break;
    }
    if (n < sizeof buffer) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  return ok;
}

bool load_tzif_file(const std::string& path, TimeZone* zone) {
  std::string contents;
  if (!read_file(path, &contents)) return false;
  return parse_tzif(reinterpret_cast<const unsigned char*>(contents.data()), contents.size(), zone);
}

}  // namespace

bool parse_posix_tz(const std::string& text, TimeZoneRule* rule) {
  Cursor c{text.data(), text.data() + text.size()};
  TimeZoneRule result;
  if (!parse_name(c) || !parse_offset(c, &result.std_offset)) return false;
  result.dst_offset = result.std_offset;
  if (!c.at_end()) {
    if (!parse_name(c)) return false;
    result.has_dst = true;
    result.dst_offset = result.std_offset + 3600;
    if (!c.at_end() && c.peek() != ',' && !parse_offset(c, &result.dst_offset)) return false;
    if (c.at_end()) {
      result.start = {TimeZoneRuleDate::kMonthWeekDay, 0, 3, 2, 0, 7200};
      result.end = {TimeZoneRuleDate::kMonthWeekDay, 0, 11, 1, 0, 7200};
    } else {
      if (c.peek() != ',') return false;
      ++c.p;
      if (!parse_rule_date(c, &result.start) || c.peek() != ',') return false;
      ++c.p;
      if (!parse_rule_date(c, &result.end) || !c.at_end()) return false;
    }
  }
  *rule = result;
  return true;
}

bool parse_tzif(const unsigned char* data, size_t size, TimeZone* zone) {
  *zone = TimeZone{};
  Reader r{data, size};
  TzifHeader h;
  if (!read_header(r, &h)) return false;
  int64_t last_transition = INT64_MIN;
  int32_t offset_before_last = 0;
  if (h.version == '\0') {
    return read_block(r, h, 4, zone, &last_transition, &offset_before_last);
  }
  // Version 2 and later repeat the data with 64-bit times; the 32-bit block is only skipped.
  const uint64_t v1_size = block_size(h, 4);
  if (v1_size > r.left) return false;
  r.p += v1_size;
  r.left -= v1_size;
  if (!read_header(r, &h) || h.version < '2') return false;
  if (!read_block(r, h, 8, zone, &last_transition, &offset_before_last)) return false;

  // Footer: a POSIX TZ string between two newlines, possibly empty.
  if (r.left < 2 || r.p[0] != '\n') return false;
  const void* newline = std::memchr(r.p + 1, '\n', r.left - 1);
  if (newline == nullptr) return false;
  const size_t footer_size =
      static_cast<size_t>(static_cast<const unsigned char*>(newline) - r.p) - 1;
  const std::string footer(reinterpret_cast<const char*>(r.p + 1), footer_size);
  // An unreadable rule is ignored rather than rejecting the file: the last type then stays.
  if (footer.empty() || !parse_posix_tz(footer, &zone->rule)) return true;
  zone->has_rule = true;
  if (h.timecnt > 0) {
    const int32_t offset_last = zone->offsets.empty() ? zone->initial_offset : zone->offsets.back();
    zone->rule_begin = last_transition;
    zone->rule_local_begin =
        saturating_add(last_transition, std::max(offset_before_last, offset_last));
    if (!zone->local_switches.empty()) {
      zone->rule_local_begin = std::max(zone->rule_local_begin, zone->local_switches.back());
    }
  }
  return true;
}

int32_t utc_offset_lookup(TimeZone& zone, int64_t utc_seconds) {
  TimeZoneSegment segment;
  if (zone.has_rule && utc_seconds >= zone.rule_begin) {
    segment = rule_segment_utc(zone.rule, utc_seconds);
    segment.begin = std::max(segment.begin, zone.rule_begin);
  } else {
    segment = table_segment(zone.transitions, zone.offsets, zone.initial_offset,
                            zone.has_rule ? zone.rule_begin : INT64_MAX, utc_seconds);
  }
  zone.utc_cache = segment;
  return segment.offset;
}

int32_t local_offset_lookup(TimeZone& zone, int64_t local_seconds) {
  TimeZoneSegment segment;
  if (zone.has_rule && local_seconds >= zone.rule_local_begin) {
    segment = rule_segment_local(zone.rule, local_seconds);
    segment.begin = std::max(segment.begin, zone.rule_local_begin);
  } else {
    segment = table_segment(zone.local_switches, zone.offsets, zone.initial_offset,
                            zone.has_rule ? zone.rule_local_begin : INT64_MAX, local_seconds);
  }
  zone.local_cache = segment;
  return segment.offset;
}

TimeZone utc_time_zone() {
  return TimeZone{};
}

TimeZone load_time_zone(const char* tz_value) {
  TimeZone zone;
  if (tz_value == nullptr) {
    if (load_tzif_file("/etc/localtime", &zone)) return zone;
    return utc_time_zone();
  }
  if (*tz_value == ':') ++tz_value;
  const std::string name(tz_value);
  if (name.empty()) return utc_time_zone();
  if (name[0] == '/') {
    if (load_tzif_file(name, &zone)) return zone;
  } else if (name.find("..") == std::string::npos) {
    const char* dir = std::getenv("TZDIR");
    const std::string base = dir != nullptr && *dir != '\0' ? dir : "/usr/share/zoneinfo";
    if (load_tzif_file(base + "/" + name, &zone)) return zone;
  }
  zone = TimeZone{};
  if (!parse_posix_tz(name, &zone.rule)) return utc_time_zone();
  zone.has_rule = true;
  zone.initial_offset = zone.rule.std_offset;
  return zone;
}

TimeZone load_system_time_zone() {
  return load_time_zone(std::getenv("TZ"));
}
