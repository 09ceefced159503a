#include "dump_format.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>

#include "zone/time_zone_for_tests.h"

namespace {

// Ticks of a UTC date and time plus `extra` ticks, worked out by <chrono>
// rather than by the calendar code under test.
Ticks ticks_at(int year, int month, int day, int hour, int minute, int second, uint64_t extra = 0) {
  using namespace std::chrono;
  const sys_seconds instant = sys_days{std::chrono::year{year} / month / day} + hours{hour} +
                              minutes{minute} + seconds{second};
  const seconds since_1601 = instant - sys_days{std::chrono::year{1601} / January / 1};
  return static_cast<Ticks>(since_1601.count()) * 10'000'000 + extra;
}

std::string time_text(Ticks ticks, TimeZone* zone = nullptr) {
  char text[kMaxTimeText];
  return std::string(text, format_time(ticks, zone, text));
}

std::string value_text(double value) {
  char text[kMaxValueText];
  return std::string(text, format_value(value, text));
}

TEST(FormatTimeTest, WritesUtcWithTruncatedMilliseconds) {
  const struct {
    Ticks ticks;
    std::string text;
  } cases[] = {
      {ticks_at(2015, 3, 5, 10, 20, 30), "2015-03-05T10:20:30.000Z"},
      {ticks_at(2015, 3, 5, 10, 20, 30, 1'250'000), "2015-03-05T10:20:30.125Z"},
      {ticks_at(2015, 3, 5, 10, 20, 30, 9'999), "2015-03-05T10:20:30.000Z"},
      {ticks_at(2015, 3, 5, 10, 20, 30, 9'999'999), "2015-03-05T10:20:30.999Z"},
      {ticks_at(2016, 2, 29, 23, 59, 59), "2016-02-29T23:59:59.000Z"},
      {0, "1601-01-01T00:00:00.000Z"},
      {ticks_at(9999, 12, 31, 23, 59, 59, 9'999'999), "9999-12-31T23:59:59.999Z"},
      {ticks_at(10000, 1, 1, 0, 0, 0), "ticks:2650467744000000000"},
      {std::numeric_limits<Ticks>::max(), "ticks:18446744073709551615"},
  };
  for (const auto& c : cases) EXPECT_EQ(time_text(c.ticks), c.text);
}

TEST(FormatTimeTest, WritesLocalTimeWithTheOffsetOfThatInstant) {
  const struct {
    const char* zone;
    Ticks ticks;
    std::string text;
  } cases[] = {
      {"Europe/Berlin", ticks_at(2015, 3, 5, 10, 20, 30, 4'560'000),
       "2015-03-05T11:20:30.456+01:00"},
      {"Europe/Berlin", ticks_at(2015, 7, 1, 10, 0, 0), "2015-07-01T12:00:00.000+02:00"},
      // Just before and at the end of summer time 2015 (01:00 UTC, Oct 25).
      {"Europe/Berlin", ticks_at(2015, 10, 25, 0, 59, 59), "2015-10-25T02:59:59.000+02:00"},
      {"Europe/Berlin", ticks_at(2015, 10, 25, 1, 0, 0), "2015-10-25T02:00:00.000+01:00"},
      {"Europe/Berlin", ticks_at(1890, 1, 1, 0, 0, 0), "1890-01-01T00:53:28.000+00:53:28"},
      {"America/New_York", ticks_at(2015, 1, 15, 12, 0, 0, 2'500'000),
       "2015-01-15T07:00:00.250-05:00"},
      {"America/New_York", 0, "1600-12-31T19:03:58.000-04:56:02"},
      {"Africa/Monrovia", ticks_at(1960, 1, 1, 0, 0, 0), "1959-12-31T23:15:30.000-00:44:30"},
      {"UTC", ticks_at(2015, 3, 5, 10, 20, 30), "2015-03-05T10:20:30.000+00:00"},
      // Local time pushed past the year 9999.
      {"Asia/Tokyo", ticks_at(9999, 12, 31, 20, 0, 0), "ticks:2650467600000000000"},
  };
  for (const auto& c : cases) {
    ScopedTimeZone tz(c.zone);
    EXPECT_EQ(time_text(c.ticks, &tz.zone), c.text) << c.zone;
  }
}

TEST(FormatValueTest, WritesTheShortestTextThatReadsBack) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double value;
    std::string text;
  } cases[] = {
      {0.1, "0.1"},
      {0.0, "0"},
      {-0.0, "-0"},
      {1.75, "1.75"},
      {79.9295, "79.9295"},
      {1e300, "1e+300"},
      {123456789012345680.0, "123456789012345680"},
      {1e22, "1e+22"},
      {1.5e-7, "1.5e-07"},
      {std::numeric_limits<double>::denorm_min(), "5e-324"},
      {-std::numeric_limits<double>::max(), "-1.7976931348623157e+308"},
      {inf, "inf"},
      {-inf, "-inf"},
      {nan, "nan"},
      {-nan, "nan"},
  };
  for (const auto& c : cases) EXPECT_EQ(value_text(c.value), c.text) << c.text;
}

TEST(CsvFieldTest, QuotesOnlyWhatCsvNeedsQuoted) {
  const struct {
    std::string name;
    std::string field;
  } cases[] = {
      {"", ""},
      {"PLANT.UNIT01.TEMP_001", "PLANT.UNIT01.TEMP_001"},
      {"semi;colon'x", "semi;colon'x"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"a,b", "\"a,b\""},
      {"say\"hi\"", "\"say\"\"hi\"\"\""},
      {"\"", "\"\"\"\""},
      {"a\tb", "\"a\tb\""},
      {"cr\r", "\"cr\r\""},
      {"lf\n", "\"lf\n\""},
      {std::string("nul\0", 4), std::string("\"nul\0\"", 6)},
      {"del\x7F", "\"del\x7F\""},
  };
  for (const auto& c : cases) {
    std::string out = "x,";
    append_csv_field(c.name, out);
    EXPECT_EQ(out, "x," + c.field);
  }
}

}  // namespace
