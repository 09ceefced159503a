// Text forms of what a history file holds: times, values and tag names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/ticks.h"
#include "zone/time_zone.h"

// Room needed by one format_time or format_value call.
constexpr size_t kMaxTimeText = 40;
constexpr size_t kMaxValueText = 32;

// Writes the time of `ticks` at `out` and returns the end of the text. With
// `zone` null: ISO 8601 UTC with milliseconds, "2015-03-05T10:20:30.000Z".
// Otherwise the local time of `zone` at that instant with its offset,
// "2015-03-05T11:20:30.000+01:00" (seconds added when the offset has them,
// "+00:53:28"). Milliseconds are truncated toward the past. A time whose year
// falls outside 0..9999 is written as its raw count, "ticks:123456".
char* format_time(Ticks ticks, TimeZone* zone, char* out);

// Writes `value` at `out` in the shortest form that reads back to the same
// binary64, "inf", "-inf" or "nan", and returns the end of the text.
char* format_value(double value, char* out);

// Appends `text` to `out` as one CSV field: unchanged, or enclosed in double
// quotes with inner quotes doubled when it holds a comma, a double quote or a
// control character.
void append_csv_field(std::string_view text, std::string& out);
