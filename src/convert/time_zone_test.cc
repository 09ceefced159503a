#include "convert/time_zone.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <utility>

namespace {

// Seconds since the epoch of a civil date-time read as UTC.
int64_t civil(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  struct tm tm = {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return timegm(&tm);
}

std::string read_zone_file(const std::string& name) {
  std::string bytes;
  std::FILE* f = std::fopen(("/usr/share/zoneinfo/" + name).c_str(), "rb");
  if (f == nullptr) return bytes;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

bool parse_bytes(const std::string& bytes, TimeZone* zone) {
  return parse_tzif(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), zone);
}

bool is_utc(TimeZone& zone) {
  for (int64_t t : {civil(1850, 1, 1), civil(2015, 1, 15), civil(2015, 7, 15), civil(2090, 7, 1)}) {
    if (utc_offset_at(zone, t) != 0 || local_to_utc(zone, t) != t) return false;
  }
  return true;
}

// Offset glibc reports for the zone currently selected with setenv("TZ") + tzset().
int32_t libc_offset(int64_t t) {
  const time_t tt = static_cast<time_t>(t);
  struct tm tm;
  localtime_r(&tt, &tm);
  return static_cast<int32_t>(tm.tm_gmtoff);
}

struct LocalCase {
  const char* tz;
  int64_t local;
  int64_t expected_utc;
};

TEST(TimeZoneTest, LocalToUtcResolvesGapsAndFolds) {
  const LocalCase cases[] = {
      {"Europe/Berlin", civil(2015, 1, 15, 12), civil(2015, 1, 15, 11)},
      {"Europe/Berlin", civil(2015, 7, 15, 12), civil(2015, 7, 15, 10)},
      {"Europe/Berlin", civil(2015, 3, 29, 2, 30), civil(2015, 3, 29, 1, 30)},    // gap
      {"Europe/Berlin", civil(2015, 10, 25, 2, 30), civil(2015, 10, 25, 0, 30)},  // fold
      {"Europe/Berlin", civil(1870, 7, 1, 12), civil(1870, 7, 1, 11, 6, 32)},     // LMT
      {"Australia/Sydney", civil(2015, 10, 4, 2, 30), civil(2015, 10, 3, 16, 30)},
      {"Australia/Sydney", civil(2015, 4, 5, 2, 30), civil(2015, 4, 4, 15, 30)},
      {"Australia/Adelaide", civil(2015, 10, 4, 2, 30), civil(2015, 10, 3, 17)},
      {"Australia/Adelaide", civil(2015, 4, 5, 2, 30), civil(2015, 4, 4, 16)},
      {"Asia/Kolkata", civil(2015, 1, 15, 12), civil(2015, 1, 15, 6, 30)},
      // After the last listed transition the footer rule decides.
      {"Europe/Berlin", civil(2090, 7, 15, 12), civil(2090, 7, 15, 10)},
      {"Europe/Berlin", civil(2090, 3, 26, 2, 30), civil(2090, 3, 26, 1, 30)},
      {"America/New_York", civil(2090, 7, 4, 12), civil(2090, 7, 4, 16)},
      {"America/New_York", civil(2090, 3, 12, 2, 30), civil(2090, 3, 12, 7, 30)},
      {"Europe/Berlin", civil(30000, 7, 1, 12), civil(30000, 7, 1, 10)},
      // POSIX TZ strings that name no file.
      {"CET-1CEST,M3.5.0,M10.5.0/3", civil(2015, 10, 25, 2, 30), civil(2015, 10, 25, 0, 30)},
      {"<+0330>-3:30", civil(2015, 1, 1, 12), civil(2015, 1, 1, 8, 30)},
      {"XST5XDT", civil(2015, 7, 1, 12), civil(2015, 7, 1, 16)},  // default US rule
      {"XST5XDT", civil(2015, 3, 8, 2, 30), civil(2015, 3, 8, 7, 30)},
      {"EST5EDT,0/0,J365/25", civil(2015, 1, 1, 0, 30), civil(2015, 1, 1, 4, 30)},  // all DST
      {"AAA-2BBB,J60/1,J300", civil(2016, 2, 29, 12), civil(2016, 2, 29, 10)},
      {"AAA-2BBB,59/1,299", civil(2016, 2, 29, 12), civil(2016, 2, 29, 9)},
      {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", civil(2024, 3, 31, 0, 30), civil(2024, 3, 31, 1, 30)},
      {"IST-2IDT,M3.4.4/26,M10.5.0", civil(2015, 3, 27, 2, 30), civil(2015, 3, 27, 0, 30)},
  };
  for (const LocalCase& c : cases) {
    TimeZone zone = load_time_zone(c.tz);
    EXPECT_EQ(local_to_utc(zone, c.local), c.expected_utc) << c.tz << " local " << c.local;
  }
}

TEST(TimeZoneTest, UnloadableValuesFallBackToUtc) {
  for (const char* tz :
       {"", ":", "garbage", "AB5", "<AB>5", "../Europe/Berlin", "Europe/../Europe/Berlin",
        "/nonexistent/zone", "/usr/share/zoneinfo", "CET-1CEST,M3.5.0", "EST5EDT,M13.1.0,M11.1.0",
        "EST25", "EST5EDT,J0,J1", "EST5EDT,M3.2.0/168,M11.1.0", "CET-1 trailing"}) {
    TimeZone zone = load_time_zone(tz);
    EXPECT_TRUE(is_utc(zone)) << '"' << tz << '"';
  }
}

TEST(TimeZoneTest, DamagedFilesAreRejectedWithoutOverreading) {
  const std::string berlin = read_zone_file("Europe/Berlin");
  ASSERT_GT(berlin.size(), 100u);
  TimeZone zone;
  ASSERT_TRUE(parse_bytes(berlin, &zone));
  for (size_t size = 0; size < berlin.size(); ++size) {
    EXPECT_FALSE(parse_bytes(berlin.substr(0, size), &zone)) << size;
  }

  // Random corruption may or may not be detected; whatever loads must still answer.
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = berlin;
    for (int flips = 0; flips < 4; ++flips) {
      bytes[random() % bytes.size()] = static_cast<char>(random());
    }
    if (parse_bytes(bytes, &zone)) {
      for (int64_t t :
           {INT64_MIN, civil(1850, 1, 1), civil(2015, 7, 1), civil(2090, 1, 1), INT64_MAX}) {
        utc_offset_at(zone, t);
        local_to_utc(zone, t);
      }
    }
  }

  char path[] = "/tmp/time_zone_test_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, berlin.data(), berlin.size() / 2), static_cast<ssize_t>(berlin.size() / 2));
  close(fd);
  zone = load_time_zone(path);
  unlink(path);
  EXPECT_TRUE(is_utc(zone));
}

uint32_t be32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

TEST(TimeZoneTest, InconsistentTablesAreRejected) {
  const std::string berlin = read_zone_file("Europe/Berlin");
  ASSERT_GT(berlin.size(), 44u);
  const size_t v1_size = be32(berlin, 32) * 5 + be32(berlin, 36) * 6 + be32(berlin, 40) +
                         be32(berlin, 28) * 8 + be32(berlin, 24) + be32(berlin, 20);
  const size_t header = 44 + v1_size;  // The version-2 header.
  const size_t times = header + 44;
  const size_t indices = times + be32(berlin, header + 32) * 8;
  ASSERT_GE(be32(berlin, header + 32), 3u);
  const std::function<void(std::string&)> damages[] = {
      [&](std::string& b) { b.replace(times + 16, 8, b, times + 8, 8); },  // repeated time
      [&](std::string& b) { b.replace(times + 8, 8, b, times + 16, 8); },  // times out of order
      [&](std::string& b) { b[indices + 1] = static_cast<char>(0xff); },   // no such type
      [&](std::string& b) { b[header + 4] = '1'; },                        // unknown version
      [&](std::string& b) {  // no local time types at all
        b.replace(header + 20, 8, 8, '\0');
        b.replace(header + 36, 4, 4, '\0');
      },
      [&](std::string& b) { b.back() = ' '; },  // open footer
  };
  for (size_t i = 0; i < std::size(damages); ++i) {
    std::string bytes = berlin;
    damages[i](bytes);
    TimeZone zone;
    EXPECT_FALSE(parse_bytes(bytes, &zone)) << "damage " << i;
  }
}

struct OffsetCase {
  const char* tz;
  int64_t utc;
  int32_t expected_offset;
};

TEST(TimeZoneTest, UtcOffsetAt) {
  const OffsetCase cases[] = {
      {":Europe/Berlin", civil(1870, 7, 1), 3208},
      {"/usr/share/zoneinfo/Europe/Berlin", civil(2015, 7, 1), 7200},
      {"Europe/Berlin", civil(2090, 3, 26, 0, 59, 59), 3600},
      {"Europe/Berlin", civil(2090, 3, 26, 1), 7200},
      {"UTC0", civil(2015, 7, 1), 0},
      // Daylight time all year must hold across New Year too.
      {"EST5EDT,0/0,J365/25", civil(2049, 1, 1, 3, 30), -4 * 3600},
      {"EST5EDT,0/0,J365/25", civil(2048, 12, 31, 23, 30), -4 * 3600},
  };
  for (const OffsetCase& c : cases) {
    TimeZone zone = load_time_zone(c.tz);
    EXPECT_EQ(utc_offset_at(zone, c.utc), c.expected_offset) << c.tz << " at " << c.utc;
  }
}

TEST(TimeZoneTest, VersionOneDataUsesThirtyTwoBitTable) {
  // The leading version-1 part of a real file, relabelled, is a complete version-1 file.
  std::string bytes = read_zone_file("Europe/Berlin");
  ASSERT_GT(bytes.size(), 44u);
  if (bytes[32] == 0 && bytes[33] == 0 && bytes[34] == 0 && bytes[35] == 0) {
    GTEST_SKIP() << "zone file carries no version-1 data";
  }
  bytes[4] = '\0';
  TimeZone zone;
  size_t size = 44;
  while (size < bytes.size() && !parse_bytes(bytes.substr(0, size), &zone)) ++size;
  ASSERT_LT(size, bytes.size());
  EXPECT_EQ(bytes.compare(size, 4, "TZif"), 0);
  EXPECT_FALSE(zone.has_rule);
  EXPECT_EQ(utc_offset_at(zone, civil(2015, 7, 1)), 7200);
  EXPECT_EQ(utc_offset_at(zone, civil(2015, 1, 1)), 3600);
  EXPECT_EQ(utc_offset_at(zone, civil(2090, 7, 1)), 3600);  // no rule: last type stays
}

TEST(TimeZoneTest, ExtremeInputsSaturate) {
  for (const char* tz : {"Europe/Berlin", "Asia/Kolkata", "America/New_York"}) {
    TimeZone zone = load_time_zone(tz);
    for (int64_t t : {INT64_MIN, INT64_MIN + 1, INT64_MAX - 1, INT64_MAX}) {
      const int32_t offset = utc_offset_at(zone, t);
      EXPECT_LE(std::abs(offset), 86400);
      const int64_t utc = local_to_utc(zone, t);
      EXPECT_EQ(t > 0, utc > 0) << tz << ' ' << t;
    }
  }
}

// Compares utc_offset_at and local_to_utc against glibc for one TZ value: random instants in
// [from, to) (uncached look-ups), then 6-hour walks through a few stretches (cached look-ups),
// checking both sides of every offset change found on the way.
void compare_with_libc(const char* tz, int64_t from, int64_t to) {
  setenv("TZ", tz, 1);
  tzset();
  TimeZone zone = load_time_zone(tz);
  int failures = 0;
  auto check = [&](int64_t t) {
    const int32_t offset = utc_offset_at(zone, t);
    if (offset != libc_offset(t)) {
      ADD_FAILURE() << tz << " at " << t << ": " << offset << " vs " << libc_offset(t);
      return ++failures < 5;
    }
    // The local reading maps back to an instant with that same reading, the earliest one.
    const int64_t back = local_to_utc(zone, t + offset);
    if (back > t || back + utc_offset_at(zone, back) != t + offset) {
      ADD_FAILURE() << tz << " round trip of " << t << " gave " << back;
      return ++failures < 5;
    }
    return true;
  };
  std::mt19937_64 random(12345);
  std::uniform_int_distribution<int64_t> instant(from, to - 1);
  for (int i = 0; i < 3000 && check(instant(random)); ++i) {
  }
  for (auto [begin, end] : {std::pair{civil(1916, 1, 1), civil(1920, 1, 1)},
                            std::pair{civil(2035, 1, 1), civil(2041, 1, 1)},
                            std::pair{civil(2096, 1, 1), civil(2098, 1, 1)}}) {
    for (int64_t t = std::max(begin, from); t < std::min(end, to) && check(t); t += 6 * 3600) {
      int64_t lo = t, hi = t + 6 * 3600;
      if (utc_offset_at(zone, lo) == utc_offset_at(zone, hi)) continue;
      while (hi - lo > 1) {
        const int64_t mid = lo + (hi - lo) / 2;
        (utc_offset_at(zone, mid) == utc_offset_at(zone, lo) ? lo : hi) = mid;
      }
      if (!check(lo) || !check(hi)) break;
    }
  }
}

class LibcOracleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    saved_ = tz ? std::optional<std::string>(tz) : std::nullopt;
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  std::optional<std::string> saved_;
};

TEST_F(LibcOracleTest, UnsetTzUsesLocaltimeFile) {
  unsetenv("TZ");
  tzset();
  TimeZone zone = load_time_zone(nullptr);
  for (int64_t t : {civil(1900, 1, 1), civil(2015, 1, 15), civil(2015, 7, 15), civil(2090, 7, 1)}) {
    EXPECT_EQ(utc_offset_at(zone, t), libc_offset(t));
  }
}

TEST_F(LibcOracleTest, ZoneFilesMatchLocaltime) {
  for (const char* tz :
       {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "Asia/Tehran", "Pacific/Apia",
        "Europe/Moscow", "America/St_Johns", "Africa/Casablanca"}) {
    compare_with_libc(tz, civil(1850, 1, 1), civil(2100, 1, 1));
  }
}

// glibc evaluates POSIX rules for years before 1970 as if they were 1970, so start there.
TEST_F(LibcOracleTest, PosixRulesMatchLocaltime) {
  for (const char* tz : {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", "<-04>4<-03>,M9.1.6/24,M4.1.6/24",
                         "IST-2IDT,M3.4.4/26,M10.5.0", "AAA-2BBB,J60/1,J300", "AAA3BBB,59/1,299",
                         "<-02>2<-01>,M3.5.0/-1,M10.5.0/0", "NST3:30NDT,M3.2.0/0:01,M11.1.0/0:01",
                         "AAA-5:45BBB-6:15:30,J1/-12,J365/36"}) {
    compare_with_libc(tz, civil(1971, 1, 1), civil(2100, 1, 1));
  }
}

}  // namespace
