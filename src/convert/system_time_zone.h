// The zone the system is set to (TZ, else its own setting) as a TimeZone, and whether a TZ value
// names a zone the system knows.
#pragma once

#include "zone/time_zone.h"

// Makes the system read TZ again (load_local_time_rules: tzset on POSIX) and returns a zone whose
// offsets are the system's (local_offset_at): TZ unset means /etc/localtime, an unknown zone
// means UTC, as in the C library. The system's zone is process-wide: after TZ changes, call this
// again and drop older zones.
TimeZone load_system_time_zone();

// Whether the TZ value `tz_value` (null: unset) names a zone the system knows: unset or empty
// (UTC), a readable TZif file (an absolute path, or a name under `zone_folder`, the TZDIR value;
// the system's folder of zone files when that is null or empty; a leading ':' is ignored) or a
// well-formed
// POSIX TZ string such as "CET-1CEST,M3.5.0,M10.5.0/3".
bool time_zone_is_known(const char* tz_value, const char* zone_folder);
