#include "convert/system_time_zone.h"

#include <string>

#include "platform/platform.h"
#include "zone/posix_tz_rule.h"

TimeZone load_system_time_zone() {
  load_local_time_rules();
  TimeZone zone;
  zone.offset_at = local_offset_at;
  return zone;
}

bool time_zone_is_known(const char* tz_value, const char* zone_folder) {
  if (tz_value == nullptr) return true;
  if (*tz_value == ':') ++tz_value;
  const std::string name(tz_value);
  if (name.empty()) return true;
  if (is_absolute_path(name)) return is_tzif_file(name) || parse_posix_rule(name).has_value();
  const std::string base =
      zone_folder != nullptr && *zone_folder != '\0' ? zone_folder : default_zone_folder();
  return is_tzif_file(base + "/" + name) || parse_posix_rule(name).has_value();
}
