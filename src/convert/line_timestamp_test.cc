#include "convert/line_timestamp.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

struct Parsed {
  bool ok;
  int year, month, day, hour, minute, second, millisecond;
  size_t values_column;
  bool marked_24_hour = false;
};

Parsed parse(const std::string& line, char separator = '\t', bool month_first = false) {
  LineTimestamp stamp;
  size_t column = 0;
  StampCache cache = empty_stamp_cache(month_first);
  bool marked;
  const bool ok =
      parse_line_timestamp(line.data(), line.size(), separator, stamp, column, cache, marked);
  return {ok,           stamp.year,   stamp.month,       stamp.day, stamp.hour,
          stamp.minute, stamp.second, stamp.millisecond, column,    ok && marked};
}

TEST(ParseLineTimestampTest, ReadsWellFormedLines) {
  const struct {
    std::string line;
    Parsed expected;
    char separator = '\t';
    bool month_first = false;
  } cases[] = {
      {"05/03/2015 10:20:30\t      1.25", {true, 2015, 3, 5, 10, 20, 30, 0, 20}},
      {"05/03/2015 10:20:30", {true, 2015, 3, 5, 10, 20, 30, 0, 20}},
      {"31/12/9999 23:59:59 x", {true, 9999, 12, 31, 23, 59, 59, 0, 20}},
      {"05/03/2015 10:20:30.123\t1", {true, 2015, 3, 5, 10, 20, 30, 123, 24}},
      {"05/03/2015 10:20:30.5;1;2", {true, 2015, 3, 5, 10, 20, 30, 500, 22}},
      {"05/03/2015 10:20:30.05", {true, 2015, 3, 5, 10, 20, 30, 50, 23}},
      {"05/03/2015 10:20:30.500", {true, 2015, 3, 5, 10, 20, 30, 500, 24}},
      {"05/03/2015 10:20:30.123456 7", {true, 2015, 3, 5, 10, 20, 30, 123, 27}},
      {" 5/ 3/2015  0: 0: 0", {true, 2015, 3, 5, 0, 0, 0, 0, 20}},
      {"+5/03/2015 10:20:30", {true, 2015, 3, 5, 10, 20, 30, 0, 20}},
      {"29/02/2016 00:00:00", {true, 2016, 2, 29, 0, 0, 0, 0, 20}},
      {"29/02/2000 00:00:00", {true, 2000, 2, 29, 0, 0, 0, 0, 20}},
      {"01/01/1601 00:00:00", {true, 1601, 1, 1, 0, 0, 0, 0, 20}},
      // The year field is four characters wide: the fifth digit goes to the time's column.
      {"31/12/30827 23:59:59", {true, 3082, 12, 31, 23, 59, 59, 0, 21}},
      // Fields without their leading zero: the time follows the date where it ends, the
      // values the seconds or the fraction.
      {"5/3/2015 9:05:07\t1.5\t2.5", {true, 2015, 3, 5, 9, 5, 7, 0, 17}},
      {"05/3/2015 10:00:10\t1", {true, 2015, 3, 5, 10, 0, 10, 0, 19}},
      {"05/03/2015 9:00:00\t1\t2", {true, 2015, 3, 5, 9, 0, 0, 0, 19}},
      {"5/3/2015 9:05:07.250\t1\t2", {true, 2015, 3, 5, 9, 5, 7, 250, 21}},
      {"05/03/2015 1:2:3   .5 1", {true, 2015, 3, 5, 1, 2, 3, 0, 17}},
      // A short time padded with blanks to the usual shape keeps its values at column 20.
      {"05/03/2015 9:05:07 \t1\t2", {true, 2015, 3, 5, 9, 5, 7, 0, 20}},
      {"05/03/2015 9:5:7   \t1", {true, 2015, 3, 5, 9, 5, 7, 0, 20}},
      {"05/03/2015 9:05:07 x1", {true, 2015, 3, 5, 9, 5, 7, 0, 19}},
      // A ',' starts a fraction when its digits end the time's column, and ',' is not the
      // separator.
      {"05/03/2015 10:00:02,250\t1", {true, 2015, 3, 5, 10, 0, 2, 250, 24}},
      {"05/03/2015 10:00:02,5", {true, 2015, 3, 5, 10, 0, 2, 500, 22}},
      {"05/03/2015 10:00:02,5;1;2", {true, 2015, 3, 5, 10, 0, 2, 500, 22}, ';'},
      {"05/03/2015 10:00:02,5;1;2", {true, 2015, 3, 5, 10, 0, 2, 0, 20}},
      {"05/03/2015 10:00:02,5,1,2", {true, 2015, 3, 5, 10, 0, 2, 0, 20}, ','},
      {"05/03/2015 10:20:30,00012.3400,00045.6700", {true, 2015, 3, 5, 10, 20, 30, 0, 20}, ','},
      {"05/03/2015 10:20:30,00012.3400,00045.6700", {true, 2015, 3, 5, 10, 20, 30, 0, 20}},
      {"05/03/2015 10:00:02,\t1", {true, 2015, 3, 5, 10, 0, 2, 0, 20}},
      // A 12-hour clock: one blank, AM or PM, then the time's column ends.
      {"05/03/2015 12:05:07 AM\t1", {true, 2015, 3, 5, 0, 5, 7, 0, 23}},
      {"05/03/2015 12:05:07 pm", {true, 2015, 3, 5, 12, 5, 7, 0, 23}},
      {"05/03/2015 01:05:07 Pm;1", {true, 2015, 3, 5, 13, 5, 7, 0, 23}, ';'},
      {"05/03/2015 01:05:07 Pm;1", {true, 2015, 3, 5, 1, 5, 7, 0, 20}},
      {"05/03/2015 11:05:07 aM 1", {true, 2015, 3, 5, 11, 5, 7, 0, 23}},
      {"5/3/2015 1:05:07 PM\t1", {true, 2015, 3, 5, 13, 5, 7, 0, 20}},
      {"05/03/2015 9:05:07 PM\t1", {true, 2015, 3, 5, 21, 5, 7, 0, 22}},
      {"05/03/2015 10:00:02.5 PM\t1", {true, 2015, 3, 5, 22, 0, 2, 500, 25}},
      {"05/03/2015 10:00:02,250 PM\t1", {true, 2015, 3, 5, 22, 0, 2, 250, 27}},
      {"05/03/2015 00:05:07 AM\t1", {true, 2015, 3, 5, 0, 5, 7, 0, 23, true}},
      {"05/03/2015 13:05:07 PM", {true, 2015, 3, 5, 13, 5, 7, 0, 23, true}},
      {"05/03/2015 01:05:07 AMP\t1", {true, 2015, 3, 5, 1, 5, 7, 0, 20}},
      {"05/03/2015 01:05:07  PM\t1", {true, 2015, 3, 5, 1, 5, 7, 0, 20}},
      {"05/03/2015 1:05:07  PM\t1", {true, 2015, 3, 5, 1, 5, 7, 0, 20}},
      {"05/03/2015 13:05:07 AMP", {true, 2015, 3, 5, 13, 5, 7, 0, 20}},
      // Month first: only the date's first two fields change places.
      {"03/25/2015 10:20:30\t1", {true, 2015, 3, 25, 10, 20, 30, 0, 20}, '\t', true},
      {"2/29/2016 9:05:07.5 PM;1", {true, 2016, 2, 29, 21, 5, 7, 500, 23}, ';', true},
  };
  for (const auto& c : cases) {
    const Parsed p = parse(c.line, c.separator, c.month_first);
    EXPECT_TRUE(p.ok) << c.line;
    EXPECT_EQ(p.year, c.expected.year) << c.line;
    EXPECT_EQ(p.month, c.expected.month) << c.line;
    EXPECT_EQ(p.day, c.expected.day) << c.line;
    EXPECT_EQ(p.hour, c.expected.hour) << c.line;
    EXPECT_EQ(p.minute, c.expected.minute) << c.line;
    EXPECT_EQ(p.second, c.expected.second) << c.line;
    EXPECT_EQ(p.millisecond, c.expected.millisecond) << c.line;
    EXPECT_EQ(p.values_column, c.expected.values_column) << c.line;
    EXPECT_EQ(p.marked_24_hour, c.expected.marked_24_hour) << c.line;
  }
}

TEST(ParseLineTimestampTest, RejectsMalformedLines) {
  const std::string cases[] = {
      "",
      "05/03/2015",
      "05/03/2015 ",
      "05/03/2015 10:20",
      "05-03-2015 10:20:30",
      "05/03/15 10:20:30",     // a two-digit year is out of range
      "05/03/2015 9:00:0. 1",  // a '.' right after short seconds starts a fraction
      "aa/03/2015 10:20:30",
      "05/03/2015 10:20:xx",
      "05/03/2015 10:20:30.",     // a fraction needs a digit
      "05/03/2015 10:20:30.x 1",  //
      "00/03/2015 10:20:30",
      "32/01/2015 10:20:30",
      "29/02/2015 10:20:30",
      "29/02/1900 10:20:30",
      "31/04/2015 10:20:30",
      "05/00/2015 10:20:30",
      "05/13/2015 10:20:30",
      "05/03/1600 10:20:30",
      "05/03/2015 24:00:00",
      "05/03/2015 10:60:00",
      "05/03/2015 10:20:60",
      "-5/03/2015 10:20:30",
      "05/03/2015 -1:20:30",
      std::string("05/03/2015 10:20:\0"
                  "30",
                  19),
      "05/03/2015 13:05:07 AM",  // the marker contradicts the hour
      "05/03/2015 23:05:07.5 am\t1",
      "05/03/2015 00:05:07 PM 1",
  };
  for (const auto& line : cases) EXPECT_FALSE(parse(line).ok) << line;
}

TEST(ParseLineTimestampTest, PaddingKeepsTheUsualColumnForItsSeparator) {
  // Column 19 holds the separator, or white space: the values start at column 20.
  EXPECT_EQ(parse("05/03/2015 9:00:00 ;1;2", ';').values_column, 20u);
  EXPECT_EQ(parse("05/03/2015 9:00:00 1 2", ' ').values_column, 19u);
  EXPECT_EQ(parse("05/03/2015 9:00:00 ;1;2", ',').values_column, 19u);
}

// Lines read one after another through one cache give what each gives alone, whatever line
// came before: hits, near misses (same date and minute, other seconds or tail) and misses.
TEST(ParseLineTimestampTest, TheCacheNeverChangesAResult) {
  const std::string lines[] = {
      std::string(16, '\0') + ":03",  // the bytes of an empty cache
      "05/03/2015 10:20:30\t1",
      "05/03/2015 10:20:31.25\t1",
      "05/03/2015 10:20:59",
      "05/03/2015 10:20:60",       // seconds out of range
      "05/03/2015 10:20:3",        // too short for the usual shape
      "05/03/2015 10:20:3x",       //
      "05/03/2015 10:20;30",       //
      "05/03/2015 10:20:31.",      // a '.' without digits
      "05/03/2015 10:20:31.x",     //
      "05/03/2015 10:20:07 ;1;2",  // the separator decides the column
      "05/03/2015 10:21:00",       // the next minute
      "5/3/2015 10:21:01",         // not the usual shape: never cached
      "5/3/2015 10:21:02",         //
      "05/03/2015 1:2:3:45 1",     // its first 16 bytes are no date, hour and minute
      "05/03/2015 1:2:3:45 1",     //
      "29/02/2015 10:20:30",       // out of range: never cached
      "29/02/2015 10:20:31",       //
      "28/02/2015 10:20:31",       //
      "28/02/2015 10:20:32\t1",    //
      std::string("28/02/2015 10:20:\0"
                  "3",
                  19),
      "05/03/2015 10:20:33,5;1",   // the separator decides the fraction
      "05/03/2015 01:05:07 PM;1",  // the cached hour is the one written, before the marker
      "05/03/2015 01:05:08",       //
      "05/03/2015 01:05:09 am",    //
      "05/03/2015 12:05:07 AM",    //
      "05/03/2015 12:05:08",       //
      "05/03/2015 13:05:07 AM",    // the marker contradicts the hour
      "05/03/2015 13:05:08 PM",    //
      "05/03/2015 13:05:09 AM",    //
      "12/31/2015 10:20:30",       // month first only
  };
  StampCache cache;
  for (const char separator : {'\t', ';', ','}) {
    for (int pass = 0; pass < 4; ++pass) {
      const bool month_first = pass >= 2;
      if (pass % 2 == 0) cache = empty_stamp_cache(month_first);
      for (const std::string& line : lines) {
        const Parsed alone = parse(line, separator, month_first);
        LineTimestamp stamp;
        size_t column = 0;
        bool marked;
        const bool ok =
            parse_line_timestamp(line.data(), line.size(), separator, stamp, column, cache, marked);
        ASSERT_EQ(ok, alone.ok) << line;
        if (!ok) continue;
        const Parsed cached{ok,           stamp.year,   stamp.month,       stamp.day, stamp.hour,
                            stamp.minute, stamp.second, stamp.millisecond, column};
        EXPECT_EQ(
            std::tie(cached.year, cached.month, cached.day, cached.hour, cached.minute,
                     cached.second, cached.millisecond, cached.values_column, marked),
            std::tie(alone.year, alone.month, alone.day, alone.hour, alone.minute, alone.second,
                     alone.millisecond, alone.values_column, alone.marked_24_hour))
            << line;
      }
    }
  }
}

TEST(CivilSecondsTest, CountsFromTheUnixEpoch) {
  LineTimestamp stamp;
  size_t column;
  const std::string line = "05/03/2015 10:20:30";
  ASSERT_TRUE(parse_line_timestamp(line.data(), line.size(), '\t', stamp, column));
  EXPECT_EQ(civil_seconds(stamp), 1425550830);
  const std::string early = "01/01/1601 00:00:00";
  ASSERT_TRUE(parse_line_timestamp(early.data(), early.size(), '\t', stamp, column));
  EXPECT_EQ(civil_seconds(stamp), -11644473600);
}

}  // namespace
