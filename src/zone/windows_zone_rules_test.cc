#include "zone/windows_zone_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "zone/tzif_zone.h"
#include "zone/zone_files_for_tests.h"

namespace {

// The nth weekday of a month at hh:mm:ss.ms of every year.
WindowsChangeDate nth_weekday(int month, int nth, int hour, int minute = 0, int second = 0,
                              int milliseconds = 0) {
  return WindowsChangeDate{0, month, 0, nth, hour, minute, second, milliseconds};
}

// New York as Windows keeps "Eastern Standard Time": first Sunday of April to last Sunday of
// October up to 2006, second Sunday of March to first Sunday of November from 2007 on.
std::optional<WindowsZoneYear> eastern(int year) {
  if (year < 2007) return WindowsZoneYear{300, 0, -60, nth_weekday(10, 5, 2), nth_weekday(4, 1, 2)};
  return WindowsZoneYear{300, 0, -60, nth_weekday(11, 1, 2), nth_weekday(3, 2, 2)};
}

// Each year's rule, walked span by span, gives the zone file's offsets wherever the file
// follows the same rules; a year's rule starts and ends with its year.
TEST(WindowsZoneRulesTest, FollowsTheRuleOfEachYear) {
  const std::optional<std::string> bytes =
      read_whole_file(zone_folder_for_tests() + "/America/New_York");
  ASSERT_TRUE(bytes);
  const std::optional<ZoneRules> file = rules_from_tzif(*bytes);
  ASSERT_TRUE(file);
  int changes = 0;
  for (int64_t t = utc_time(1987, 1, 1); t < utc_time(2030, 1, 1);) {
    const OffsetSpan span = windows_zone_span_at(eastern, t);
    ASSERT_LE(span.begin, t);
    ASSERT_GT(span.end, t);
    ASSERT_EQ(span.offset, zone_offset_at(*file, t)) << t;
    ASSERT_EQ(span.offset, zone_offset_at(*file, span.end - 1)) << span.end;
    changes += zone_offset_at(*file, span.end) != span.offset;
    t = span.end;
  }
  EXPECT_EQ(changes, 2 * 43);
}

TEST(WindowsZoneRulesTest, ReadsEveryFormOfDate) {
  // W. Europe Standard Time, and variants of it.
  WindowsZoneYear europe{-60, 0, -60, nth_weekday(10, 5, 3), nth_weekday(3, 5, 2)};
  WindowsZoneYear no_daylight = europe;
  no_daylight.standard_date.month = 0;
  WindowsZoneYear dated = europe;  // 2015's dates written out
  dated.daylight_date = WindowsChangeDate{2015, 3, 0, 29, 2, 0, 0, 0};
  dated.standard_date = WindowsChangeDate{2015, 10, 0, 25, 3, 0, 0, 0};
  WindowsZoneYear midnight = europe;  // daylight time from the end of Saturday
  midnight.daylight_date = WindowsChangeDate{0, 3, 6, 5, 23, 59, 59, 999};
  const struct {
    const char* name;
    WindowsZoneYear year;
    int64_t instant;
    int32_t offset;
  } cases[] = {
      {"winter", europe, utc_time(2015, 3, 29, 0, 59, 59), 3600},
      {"summer", europe, utc_time(2015, 3, 29, 1), 7200},
      {"summer's end", europe, utc_time(2015, 10, 25, 0, 59, 59), 7200},
      {"winter again", europe, utc_time(2015, 10, 25, 1), 3600},
      {"no daylight time", no_daylight, utc_time(2015, 7, 1), 3600},
      {"dated", dated, utc_time(2015, 3, 29, 1), 7200},
      {"dated, before", dated, utc_time(2015, 3, 29, 0, 59, 59), 3600},
      {"at midnight", midnight, utc_time(2015, 3, 28, 23), 7200},
      {"before midnight", midnight, utc_time(2015, 3, 28, 22, 59, 59), 3600},
  };
  for (const auto& c : cases) {
    const WindowsYearRules rules = [&](int) { return std::optional(c.year); };
    EXPECT_EQ(windows_zone_span_at(rules, c.instant).offset, c.offset) << c.name;
  }
  const WindowsYearRules none = [](int) { return std::optional<WindowsZoneYear>(); };
  EXPECT_EQ(windows_zone_span_at(none, utc_time(2015, 7, 1)).offset, 0);
}

}  // namespace
