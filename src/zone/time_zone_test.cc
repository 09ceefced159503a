#include "zone/time_zone.h"

#include <gtest/gtest.h>
#include <time.h>

#include <string>

#include "common/ticks.h"
#include "zone/time_zone_for_tests.h"

namespace {

// Seconds since the epoch of a civil date-time read as UTC.
int64_t civil(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

struct LocalCase {
  const char* tz;
  int64_t local;
  int64_t earlier;
  int64_t later;  // 0: the local time occurs once
  bool skipped;   // the local time does not exist (clocks go forward)
};

TEST(TimeZoneTest, LocalTimesMapToTheirInstants) {
  const LocalCase cases[] = {
      {"Europe/Berlin", civil(2015, 1, 15, 12), civil(2015, 1, 15, 11), 0, false},
      {"Europe/Berlin", civil(2015, 7, 15, 12), civil(2015, 7, 15, 10), 0, false},
      {"Europe/Berlin", civil(2015, 3, 29, 2, 30), civil(2015, 3, 29, 1, 30), 0, true},
      {"Europe/Berlin", civil(2015, 10, 25, 2, 30), civil(2015, 10, 25, 0, 30),
       civil(2015, 10, 25, 1, 30), false},
      {"Europe/Berlin", civil(2015, 10, 25, 3), civil(2015, 10, 25, 2), 0, false},
      {"Europe/Berlin", civil(2015, 10, 26, 0, 30), civil(2015, 10, 25, 23, 30), 0, false},
      {"Europe/Berlin", civil(1870, 7, 1, 12), civil(1870, 7, 1, 11, 6, 32), 0, false},  // LMT
      {"Europe/Berlin", civil(2090, 7, 15, 12), civil(2090, 7, 15, 10), 0, false},
      {"America/New_York", civil(2015, 3, 8, 2, 30), civil(2015, 3, 8, 7, 30), 0, true},
      {"America/New_York", civil(2015, 11, 1, 1, 30), civil(2015, 11, 1, 5, 30),
       civil(2015, 11, 1, 6, 30), false},
      // Lord Howe moves its clocks by half an hour.
      {"Australia/Lord_Howe", civil(2015, 4, 5, 1, 45), civil(2015, 4, 4, 14, 45),
       civil(2015, 4, 4, 15, 15), false},
      {"Australia/Lord_Howe", civil(2015, 10, 4, 2, 15), civil(2015, 10, 3, 15, 45), 0, true},
      {"Pacific/Chatham", civil(2015, 4, 5, 3), civil(2015, 4, 4, 13, 15),
       civil(2015, 4, 4, 14, 15), false},
      {"Pacific/Chatham", civil(2015, 9, 27, 3), civil(2015, 9, 26, 14, 15), 0, true},
      // Dublin's summer time is its standard time; winter time is the exception.
      {"Europe/Dublin", civil(2015, 10, 25, 1, 30), civil(2015, 10, 25, 0, 30),
       civil(2015, 10, 25, 1, 30), false},
      {"Europe/Dublin", civil(2015, 7, 1, 12), civil(2015, 7, 1, 11), 0, false},
      {"Europe/Dublin", civil(1900, 1, 1, 12), civil(1900, 1, 1, 12, 25, 21), 0, false},
      // Sao Paulo changed at midnight: the repeated hour lies on the day before the change.
      {"America/Sao_Paulo", civil(2018, 11, 4, 0, 30), civil(2018, 11, 4, 3, 30), 0, true},
      {"America/Sao_Paulo", civil(2019, 2, 16, 23, 30), civil(2019, 2, 17, 1, 30),
       civil(2019, 2, 17, 2, 30), false},
      {"America/Sao_Paulo", civil(2020, 1, 15, 12), civil(2020, 1, 15, 15), 0, false},
      {"CET-1CEST,M3.5.0,M10.5.0/3", civil(2015, 10, 25, 2, 30), civil(2015, 10, 25, 0, 30),
       civil(2015, 10, 25, 1, 30), false},
      {"CET-1CEST,M3.5.0,M10.5.0/3", civil(2015, 3, 29, 2, 30), civil(2015, 3, 29, 1, 30), 0, true},
      {"<+0530>-5:30", civil(2015, 1, 1, 12), civil(2015, 1, 1, 6, 30), 0, false},
      {"Nowhere/Atlantis", civil(2015, 7, 15, 12), civil(2015, 7, 15, 12), 0, false},
  };
  for (const LocalCase& c : cases) {
    ScopedTimeZone tz(c.tz);
    const LocalInstants instants = local_instants(tz.zone, c.local);
    EXPECT_EQ(instants.earlier, c.earlier) << c.tz << " local " << c.local;
    EXPECT_EQ(instants.later, c.later != 0 ? c.later : c.earlier) << c.tz << " local " << c.local;
    // The other direction reads each instant back as the same local time.
    if (c.skipped) continue;
    for (const int64_t utc : {instants.earlier, instants.later}) {
      EXPECT_EQ(utc + utc_offset_at(tz.zone, utc), c.local) << c.tz << ' ' << utc;
    }
  }
}

// A zone reused across days answers as a fresh zone does, through a few days around changes.
TEST(TimeZoneTest, CachedLookUpsMatchFreshOnes) {
  const struct {
    const char* tz;
    int64_t around;
  } cases[] = {
      {"Europe/Berlin", civil(2015, 10, 25)},
      {"Australia/Lord_Howe", civil(2015, 10, 4)},
      {"America/Sao_Paulo", civil(2019, 2, 17)},
      {"Pacific/Apia", civil(2011, 12, 30)},  // a whole day skipped
  };
  for (const auto& c : cases) {
    ScopedTimeZone tz(c.tz);
    TimeZone cached = tz.zone;
    for (int64_t t = c.around - 2 * 86400; t < c.around + 2 * 86400; t += 7 * 60 + 1) {
      TimeZone fresh = tz.zone;
      const LocalInstants a = local_instants(cached, t);
      const LocalInstants b = local_instants(fresh, t);
      ASSERT_EQ(a.earlier, b.earlier) << c.tz << " local " << t;
      ASSERT_EQ(a.later, b.later) << c.tz << " local " << t;
      ASSERT_EQ(utc_offset_at(cached, t), utc_offset_at(fresh, t)) << c.tz << " utc " << t;
    }
  }
}

// With TZ unset the library reads /etc/localtime, whatever zone that is.
TEST(TimeZoneTest, UnsetTzFollowsTheLibrary) {
  SKIP_ON_WINDOWS(
      "the C library is not the zone engine there; the Windows table checks the system zone");
#if !TAGPRESS_TESTS_ON_WINDOWS
  ScopedTimeZone tz(nullptr);
  for (const int64_t t : {civil(1900, 1, 1), civil(2015, 1, 15), civil(2015, 7, 15)}) {
    const time_t tt = static_cast<time_t>(t);
    struct tm fields;
    ASSERT_NE(localtime_r(&tt, &fields), nullptr);
    EXPECT_EQ(utc_offset_at(tz.zone, t), fields.tm_gmtoff);
    const LocalInstants instants = local_instants(tz.zone, t + fields.tm_gmtoff);
    EXPECT_LE(instants.earlier, t);
    EXPECT_GE(instants.later, t);
  }
#endif
}

TEST(TimeZoneTest, UtcZoneNeedsNoLibrary) {
  ScopedTimeZone tz("Europe/Berlin");
  TimeZone utc = utc_time_zone();
  EXPECT_EQ(utc_offset_at(utc, civil(2015, 7, 1)), 0);
  EXPECT_EQ(local_instants(utc, civil(2015, 10, 25, 2, 30)).later, civil(2015, 10, 25, 2, 30));
}

}  // namespace
