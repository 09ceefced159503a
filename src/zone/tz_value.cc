#include "zone/tz_value.h"

#include <utility>

#include "common/text_scan.h"

namespace {

bool is_absolute_path(std::string_view name) {
  const auto is_separator = [](char c) { return c == '/' || c == '\\'; };
  if (!name.empty() && is_separator(name[0])) return true;
  return name.size() >= 3 && is_alpha(name[0]) && name[1] == ':' && is_separator(name[2]);
}

}  // namespace

ZoneRules rules_for_tz_value(std::string_view tz_value, std::string_view zone_folder,
                             const ZoneFileReader& read_file) {
  std::string_view name = tz_value;
  if (!name.empty() && name.front() == ':') name.remove_prefix(1);
  if (name.empty()) return ZoneRules{};
  std::string path(name);
  if (!is_absolute_path(name)) path = std::string(zone_folder) + '/' + path;
  if (const std::optional<std::string> bytes = read_file(path)) {
    if (std::optional<ZoneRules> rules = rules_from_tzif(*bytes)) return *std::move(rules);
  }
  return rules_from_posix_tz(name).value_or(ZoneRules{});
}
