#include "convert/time_window.h"

namespace {

// Negative, zero or positive as the line's time of day is before, at or after the bound.
int compare(const LineTimestamp& stamp, const TimeOfDay& bound) {
  if (stamp.hour != bound.hour) return stamp.hour < bound.hour ? -1 : 1;
  if (stamp.minute != bound.minute) return stamp.minute < bound.minute ? -1 : 1;
  if (stamp.second != bound.second) return stamp.second < bound.second ? -1 : 1;
  return 0;
}

}  // namespace

bool in_time_window(const LineTimestamp& stamp, const ConversionOptions& options) {
  if (options.has_start && compare(stamp, options.start) < 0) return false;
  if (options.has_finish && compare(stamp, options.finish) > 0) return false;
  return true;
}

bool window_admits_a_time(const ConversionOptions& options) {
  LineTimestamp stamp;
  for (stamp.hour = 0; stamp.hour < 24; ++stamp.hour) {
    for (stamp.minute = 0; stamp.minute < 60; ++stamp.minute) {
      for (stamp.second = 0; stamp.second < 60; ++stamp.second) {
        if (in_time_window(stamp, options)) return true;
      }
    }
  }
  return false;
}
