// Local time on Windows, read by the project's own zone engine rather than the C runtime (whose
// TZ handling differs from Linux) or Windows' own zone data (which mostly holds today's rules
// only): TZ as on Linux, else the Windows zone's tz database file, else its own yearly rules.
#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>

#include "platform/platform.h"
#include "platform/win32_text.h"
#include "zone/tz_value.h"
#include "zone/windows_zone_names.h"
#include "zone/windows_zone_rules.h"

namespace {

// Zone files are small; anything larger is not one.
constexpr uint64_t kMostZoneFileBytes = 1 << 20;

// The rules load_local_time_rules found. Written only while no conversion runs, read by every
// thread.
struct LocalTimeRules {
  ZoneRules rules;
  bool windows_rules = false;  // the system zone's own yearly rules stand in for `rules`
  DYNAMIC_TIME_ZONE_INFORMATION system_zone = {};
  std::string notice;
};

LocalTimeRules local_time;
// Changes with every load, so that the spans threads remember are dropped.
std::atomic<int> generation{0};

std::mutex windows_years_lock;
std::map<int, std::optional<WindowsZoneYear>> windows_years;

// The last span a thread found, valid while `generation` is unchanged.
struct RememberedSpan {
  int generation = -1;
  OffsetSpan span{1, 0, 0};
};
thread_local RememberedSpan remembered;

std::optional<std::string> read_zone_file(const std::string& path) {
  const OpenedFile opened = open_for_reading(path);
  const OwnedFile file(opened.file);
  if (!is_open(file.handle) || opened.size > kMostZoneFileBytes) return std::nullopt;
  std::string bytes(opened.size, '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const SizeResult got = read_some(file.handle, bytes.data() + done, bytes.size() - done);
    if (got.error != 0) return std::nullopt;
    if (got.bytes == 0) break;
    done += got.bytes;
  }
  bytes.resize(done);
  return bytes;
}

WindowsChangeDate change_date(const SYSTEMTIME& time) {
  return WindowsChangeDate{time.wYear, time.wMonth,  time.wDayOfWeek, time.wDay,
                           time.wHour, time.wMinute, time.wSecond,    time.wMilliseconds};
}

// The system zone's rule of `year`, asked of Windows once per year.
std::optional<WindowsZoneYear> windows_year(int year) {
  const std::lock_guard<std::mutex> lock(windows_years_lock);
  const auto known = windows_years.find(year);
  if (known != windows_years.end()) return known->second;
  TIME_ZONE_INFORMATION info;
  std::optional<WindowsZoneYear> rule;
  if (GetTimeZoneInformationForYear(static_cast<USHORT>(year), &local_time.system_zone, &info)) {
    rule = WindowsZoneYear{info.Bias, info.StandardBias, info.DaylightBias,
                           change_date(info.StandardDate), change_date(info.DaylightDate)};
  }
  windows_years.emplace(year, rule);
  return rule;
}

// The folder of the running program, with a separator at its end.
std::string program_folder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return utf8_text(path.substr(0, path.find_last_of(L"\\/") + 1));
}

// The system zone: its tz database file when the zone has a name there and the file is found,
// else its own rules with a notice saying so.
void load_system_zone(const std::string& zone_folder) {
  DYNAMIC_TIME_ZONE_INFORMATION& zone = local_time.system_zone;
  if (GetDynamicTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return;  // UTC
  if (zone.DynamicDaylightTimeDisabled) {
    // Daylight time switched off by the user: standard time all year.
    local_time.rules.initial_offset = -static_cast<int32_t>(zone.Bias + zone.StandardBias) * 60;
    return;
  }
  const std::string windows_name = utf8_text(zone.TimeZoneKeyName);
  const std::string iana_name(iana_name_for_windows_zone(windows_name));
  if (!iana_name.empty()) {
    const std::string path = zone_folder + "/" + iana_name;
    if (const std::optional<std::string> bytes = read_zone_file(path)) {
      if (std::optional<ZoneRules> rules = rules_from_tzif(*bytes)) {
        local_time.rules = *std::move(rules);
        return;
      }
    }
    local_time.notice = "no zone file " + path + " for the Windows time zone '" + windows_name +
                        "'; local times follow Windows' own rules, which may miss the changes "
                        "of past years";
  } else {
    local_time.notice = "the Windows time zone '" + windows_name +
                        "' has no tz database name; local times follow Windows' own rules, "
                        "which may miss the changes of past years";
  }
  local_time.windows_rules = true;
}

}  // namespace

void load_local_time_rules() {
  {
    const std::lock_guard<std::mutex> lock(windows_years_lock);
    windows_years.clear();
  }
  local_time = LocalTimeRules{};
  const std::optional<std::string> tz = environment_variable("TZ");
  const std::optional<std::string> folder = environment_variable("TZDIR");
  const std::string zone_folder = folder && !folder->empty() ? *folder : default_zone_folder();
  if (tz) {
    local_time.rules = rules_for_tz_value(*tz, zone_folder, read_zone_file);
  } else {
    load_system_zone(zone_folder);
  }
  ++generation;
}

std::string local_time_rules_notice() {
  return local_time.notice;
}

int32_t local_offset_at(int64_t utc_seconds) {
  const int current = generation;
  if (remembered.generation != current || utc_seconds < remembered.span.begin ||
      utc_seconds >= remembered.span.end) {
    remembered.generation = current;
    remembered.span = local_time.windows_rules ? windows_zone_span_at(windows_year, utc_seconds)
                                               : zone_span_at(local_time.rules, utc_seconds);
  }
  return remembered.span.offset;
}

std::string default_zone_folder() {
  return program_folder() + "zoneinfo";
}
