// Which instant a local time that occurs twice stands for, decided from the order of the lines.
#pragma once

#include <cstdint>

// `previous` when no earlier line of the data file had a valid date and time.
constexpr int64_t kNoPreviousInstant = INT64_MIN;

// The instant of a line whose local time has the instants `earlier` and `later` (equal when the
// time occurs once), given the instant of the previous line of the same data file that had a
// valid date and time, all in one unit: the earlier instant, unless the previous line already lies
// past it, as in a log written on across the hour the clocks go back; then the later one.
constexpr int64_t choose_instant(int64_t previous, int64_t earlier, int64_t later) {
  return previous > earlier ? later : earlier;
}
