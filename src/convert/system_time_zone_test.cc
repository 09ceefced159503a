#include "convert/system_time_zone.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeZoneTest, TellsWhichZonesTheSystemKnows) {
  const struct {
    const char* tz;
    bool known;
  } cases[] = {
      {nullptr, true},
      {"", true},
      {":", true},
      {"Europe/Berlin", true},
      {":Europe/Berlin", true},
      {"/usr/share/zoneinfo/Europe/Berlin", true},
      {"CET-1CEST,M3.5.0,M10.5.0/3", true},
      {"<+0530>-5:30", true},
      {"XST5XDT", true},
      {"NST3:30NDT,M3.2.0/0:01,M11.1.0/0:01", true},
      {"AAA-2BBB,J60/1,59/-167", true},
      {"Europe/Berlni", false},
      {"Europe", false},
      {"zone.tab", false},
      {"/usr/share/zoneinfo/Europe", false},
      {"/nonexistent/Europe/Berlin", false},
      {"/dev/zero", false},
      {"garbage", false},
      {"AB5", false},
      {"<AB>5", false},
      {"CET-1 trailing", false},
      {"CET-1CEST,M3.5.0", false},
      {"EST5EDT,M13.1.0,M11.1.0", false},
      {"EST5EDT,M3.6.0,M11.1.0", false},
      {"EST25", false},
      {"EST5EDT,J0,J1", false},
      {"EST5EDT,M3.2.0/168,M11.1.0", false},
      {"EST5:60", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(time_zone_is_known(c.tz, nullptr), c.known) << (c.tz ? c.tz : "(unset)");
  }
  EXPECT_TRUE(time_zone_is_known("Europe/Berlin", ""));
  EXPECT_FALSE(time_zone_is_known("Europe/Berlin", "/nonexistent"));
  EXPECT_TRUE(time_zone_is_known("/usr/share/zoneinfo/Europe/Berlin", "/nonexistent"));
  EXPECT_TRUE(time_zone_is_known("Berlin", "/usr/share/zoneinfo/Europe"));
}

}  // namespace
