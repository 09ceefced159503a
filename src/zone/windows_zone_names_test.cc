#include "zone/windows_zone_names.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsZoneNamesTest, MapsNamesOfTheWholeTable) {
  const std::pair<const char*, const char*> cases[] = {
      {"AUS Central Standard Time", "Australia/Darwin"},  // first
      {"W. Europe Standard Time", "Europe/Berlin"},
      {"Eastern Standard Time", "America/New_York"},
      {"Lord Howe Standard Time", "Australia/Lord_Howe"},
      {"UTC", "Etc/UTC"},
      {"Yukon Standard Time", "America/Whitehorse"},  // last
      {"Mars Standard Time", ""},
      {"w. europe standard time", ""},
      {"W. Europe Standard Time ", ""},
      {"", ""},
  };
  for (const auto& [windows_name, iana_name] : cases) {
    EXPECT_EQ(iana_name_for_windows_zone(windows_name), iana_name) << windows_name;
  }
}

}  // namespace
