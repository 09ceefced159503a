#include "zone/tz_value.h"

#include <gtest/gtest.h>

#include <map>

#include "zone/zone_files_for_tests.h"

namespace {

TEST(TzValueTest, NamesFilesStringsOrUtc) {
  const std::string folder = zone_folder_for_tests();
  const std::optional<std::string> berlin = read_whole_file(folder + "/Europe/Berlin");
  const std::optional<std::string> eastern = read_whole_file(folder + "/America/New_York");
  ASSERT_TRUE(berlin && eastern) << folder;
  const std::map<std::string, std::string> files = {
      {"/zones/Europe/Berlin", *berlin},   {"/zones/US/Eastern", *eastern},
      {"/elsewhere/berlin", *berlin},      {"C:\\zones\\berlin", *berlin},
      {"/zones/EST5EDT", "not zone data"},
  };
  const ZoneFileReader read = [&](const std::string& path) -> std::optional<std::string> {
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  };
  // Winter and summer offsets of 2015.
  struct Case {
    const char* tz;
    int32_t winter;
    int32_t summer;
  };
  const Case cases[] = {
      {"Europe/Berlin", 3600, 7200},
      {":Europe/Berlin", 3600, 7200},
      {"US/Eastern", -18000, -14400},
      {"/elsewhere/berlin", 3600, 7200},
      {":C:\\zones\\berlin", 3600, 7200},
      {"EST5EDT", -18000, -14400},  // a file that is no zone data: the string
      {"CET-1CEST,M3.5.0,M10.5.0/3", 3600, 7200},
      {"Europe/Paris", 0, 0},  // no such file, no TZ string
      {"", 0, 0},
      {":", 0, 0},
      {"garbage", 0, 0},
  };
  for (const Case& c : cases) {
    const ZoneRules rules = rules_for_tz_value(c.tz, "/zones", read);
    EXPECT_EQ(zone_offset_at(rules, utc_time(2015, 1, 15)), c.winter) << '"' << c.tz << '"';
    EXPECT_EQ(zone_offset_at(rules, utc_time(2015, 7, 15)), c.summer) << '"' << c.tz << '"';
  }
}

}  // namespace
