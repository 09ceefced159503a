#include "zone/posix_tz_rule.h"

#include <gtest/gtest.h>

#include "zone/tzif_zone.h"
#include "zone/zone_files_for_tests.h"

namespace {

struct RuleCase {
  const char* tz;
  int64_t utc;
  int32_t offset;
};

// Where the C library is no reference: a string without dates takes today's US dates in every
// year (glibc takes a zone file's), daylight time all year holds across the turn of the year,
// and far beyond any calendar the offset of the limit holds, without overflowing on the way.
TEST(PosixTzRuleTest, OffsetsWhereTheCLibraryDiffers) {
  const RuleCase cases[] = {
      {"XST5XDT", utc_time(1990, 3, 11, 6, 59, 59), -18000},
      {"XST5XDT", utc_time(1990, 3, 11, 7), -14400},
      {"EST5EDT,0/0,J365/25", utc_time(2049, 1, 1, 3, 30), -14400},
      {"EST5EDT,0/0,J365/25", utc_time(2048, 12, 31, 23, 30), -14400},
  };
  for (const RuleCase& c : cases) {
    const std::optional<PosixRule> rule = parse_posix_rule(c.tz);
    ASSERT_TRUE(rule) << c.tz;
    const OffsetSpan span = rule_span_at(*rule, c.utc);
    EXPECT_EQ(span.offset, c.offset) << c.tz << " at " << c.utc;
    EXPECT_TRUE(span.begin <= c.utc && c.utc < span.end) << c.tz;
  }
  const PosixRule rule = parse_posix_rule("CET-1CEST,M3.5.0,M10.5.0/3").value();
  for (int64_t t : {INT64_MIN, INT64_MIN + 1, INT64_MAX - 1, INT64_MAX}) {
    const OffsetSpan span = rule_span_at(rule, t);
    EXPECT_TRUE(span.begin <= t && (t < span.end || span.end == INT64_MAX)) << t;
    EXPECT_TRUE(span.offset == 3600 || span.offset == 7200) << t;
  }
}

TEST(PosixTzRuleTest, RefusesMalformedStrings) {
  for (const char* tz : {"", "AB5", "<AB>5", "CET", "CET-1 ", "EST25", "EST5:60", "EST5EDT,",
                         "CET-1CEST,M3.5.0", "EST5EDT,M13.1.0,M11.1.0", "EST5EDT,M3.0.0,M11.1.0",
                         "EST5EDT,M3.2.7,M11.1.0", "EST5EDT,J0,J1", "EST5EDT,366,1",
                         "EST5EDT,M3.2.0/168,M11.1.0", "EST5EDT,M3.2.0,M11.1.0x", "EST0005"}) {
    EXPECT_FALSE(parse_posix_rule(tz)) << '"' << tz << '"';
  }
}

// The C library reads rules for years before 1970 as those of 1970, so the comparison starts
// after it.
TEST(PosixTzRuleTest, MatchesTheCLibrary) {
  SKIP_WITHOUT_C_LIBRARY_ZONES();
  for (const char* tz : {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0",
                         "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", "<-04>4<-03>,M9.1.6/24,M4.1.6/24",
                         "IST-2IDT,M3.4.4/26,M10.5.0", "AAA-2BBB,J60/1,J300", "AAA3BBB,59/1,299",
                         "<-02>2<-01>,M3.5.0/-1,M10.5.0/0", "NST3:30NDT,M3.2.0/0:01,M11.1.0/0:01",
                         "AAA-5:45BBB-6:15:30,J1/-12,J365/36", "<+0330>-3:30"}) {
    const std::optional<ZoneRules> rules = rules_from_posix_tz(tz);
    ASSERT_TRUE(rules) << tz;
    const ComparisonCount count =
        compare_with_c_library(tz, *rules, utc_time(1850, 1, 1), utc_time(2100, 1, 1), 500);
    EXPECT_EQ(count.mismatches, 0) << tz << " over " << count.instants << " instants";
  }
}

}  // namespace
