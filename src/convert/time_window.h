// The time-of-day window of options /i and /f.
#pragma once

#include "common/conversion_options.h"
#include "convert/line_timestamp.h"

// True when the line's time of day (hour on the 24-hour clock, minute, second;
// date and milliseconds ignored) is not before the start bound and not after the
// finish bound, each where set. Both bounds are inclusive; the window never
// wraps past midnight.
bool in_time_window(const LineTimestamp& stamp, const ConversionOptions& options);

// True when some time of day (00:00:00 to 23:59:59) lies in the window.
bool window_admits_a_time(const ConversionOptions& options);
