// The tz database name of a Windows time zone, for finding the zone file of the system's zone.
#pragma once

#include <string_view>

// The IANA zone a Windows time zone name ("W. Europe Standard Time", as the registry and
// GetDynamicTimeZoneInformation spell it) stands for when no country is known
// ("Europe/Berlin"); empty for a name the table does not hold. Names match exactly.
std::string_view iana_name_for_windows_zone(std::string_view windows_name);
