#include "convert/time_window.h"

#include <gtest/gtest.h>

namespace {

LineTimestamp at(int hour, int minute, int second, int millisecond = 0) {
  LineTimestamp stamp;
  stamp.year = 2015;
  stamp.month = 3;
  stamp.day = 5;
  stamp.hour = static_cast<uint16_t>(hour);
  stamp.minute = static_cast<uint16_t>(minute);
  stamp.second = static_cast<uint16_t>(second);
  stamp.millisecond = static_cast<uint16_t>(millisecond);
  return stamp;
}

ConversionOptions window(bool has_start, TimeOfDay start, bool has_finish, TimeOfDay finish) {
  ConversionOptions options;
  options.has_start = has_start;
  options.start = start;
  options.has_finish = has_finish;
  options.finish = finish;
  return options;
}

TEST(InTimeWindowTest, ComparesTheTimeOfDayInclusively) {
  const TimeOfDay none{};
  const struct {
    ConversionOptions options;
    LineTimestamp stamp;
    bool accepted;
  } cases[] = {
      {window(false, none, false, none), at(3, 0, 0), true},
      {window(true, {8, 0, 0}, false, none), at(7, 59, 59), false},
      {window(true, {8, 0, 0}, false, none), at(8, 0, 0), true},
      {window(true, {8, 0, 0}, false, none), at(8, 0, 0, 999), true},
      {window(true, {8, 30, 15}, false, none), at(8, 30, 14), false},
      {window(true, {8, 30, 15}, false, none), at(8, 29, 59), false},
      {window(true, {8, 30, 15}, false, none), at(9, 0, 0), true},
      {window(false, none, true, {17, 30, 0}), at(17, 30, 0, 500), true},
      {window(false, none, true, {17, 30, 0}), at(17, 30, 1), false},
      {window(false, none, true, {17, 30, 0}), at(17, 31, 0), false},
      {window(false, none, true, {17, 30, 0}), at(18, 0, 0), false},
      {window(true, {22, 0, 0}, true, {6, 0, 0}), at(23, 0, 0), false},  // never wraps
      {window(true, {22, 0, 0}, true, {6, 0, 0}), at(5, 0, 0), false},
      {window(true, {25, 0, 0}, false, none), at(23, 59, 59), false},
      {window(true, {-1, 0, 0}, false, none), at(0, 0, 0), true},
      {window(false, none, true, {-1, 0, 0}), at(0, 0, 0), false},
      {window(true, {0, -5, 0}, false, none), at(0, 0, 0), true},
      {window(true, {INT32_MAX, 0, 0}, false, none), at(23, 0, 0), false},
      {window(true, {10, 0, 0}, true, {10, 0, 0}), at(10, 0, 0, 999), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(in_time_window(c.stamp, c.options), c.accepted)
        << c.stamp.hour << ":" << c.stamp.minute << ":" << c.stamp.second << " start "
        << c.options.start.hour << " finish " << c.options.finish.hour;
  }
}

}  // namespace
