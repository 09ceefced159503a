// What a TZ value names, read as the C library of Linux reads it, with the zone files supplied
// by the caller.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "zone/tzif_zone.h"

// Reads the whole file at `path`; nullopt when it cannot be read.
using ZoneFileReader = std::function<std::optional<std::string>(const std::string& path)>;

// The rules a TZ value names. A leading ':' is ignored. An empty value means UTC. A value that
// is an absolute path ("/...", "\...", "C:/...", "C:\...") names a zone file; any other is first
// a name under `zone_folder` ("Europe/Berlin"). A file that cannot be read or is not TZif data
// leaves the value to be read as a TZ string ("CET-1CEST,M3.5.0,M10.5.0/3"); a value that is
// neither means UTC. TZ unset is the caller's business: it passes the system zone's name.
ZoneRules rules_for_tz_value(std::string_view tz_value, std::string_view zone_folder,
                             const ZoneFileReader& read_file);
