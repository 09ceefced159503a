#include "zone/tzif_zone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zone/zone_files_for_tests.h"

namespace {

std::string be(uint64_t value, int bytes) {
  std::string out;
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
    out += static_cast<char>(value >> shift);
  return out;
}

// A header and data block with times of `time_size` bytes (and one empty abbreviation): the
// transitions of Berlin-like rules, or for `times` false one type of offset 0 alone.
std::string tzif_block(char version, int time_size, bool times) {
  std::string out = std::string("TZif") + version + std::string(27, '\0') + be(times ? 3 : 0, 4) +
                    be(times ? 3 : 1, 4) + be(1, 4);
  if (!times) return out + std::string(7, '\0');
  for (int64_t t : {utc_time(1910, 1, 1), utc_time(2015, 3, 29, 1), utc_time(2015, 10, 25, 1)}) {
    out += be(static_cast<uint64_t>(t), time_size);
  }
  out += std::string{1, 2, 1};  // the type of each time
  for (uint32_t offset : {3208, 3600, 7200}) out += be(offset, 4) + std::string(2, '\0');
  return out + '\0';
}

// A file of Berlin-like rules (local mean time, CET, CEST in the summer of 2015): version '\0'
// is the 32-bit block alone, later versions an empty 32-bit block, the 64-bit one and `footer`.
std::string build_tzif(char version, const std::string& footer = "CET-1CEST,M3.5.0,M10.5.0/3") {
  if (version == '\0') return tzif_block(version, 4, true);
  return tzif_block(version, 4, false) + tzif_block(version, 8, true) + '\n' + footer + '\n';
}

// Where the fields of the 64-bit part stand in a built file: its header follows the 44-byte
// first header and that header's 7-byte block.
constexpr size_t kUtFlagCount = 51 + 20;
constexpr size_t kStdFlagCount = 51 + 24;
constexpr size_t kTimeCount = 51 + 32;
constexpr size_t kTypeCount = 51 + 36;
constexpr size_t kCharCount = 51 + 40;
constexpr size_t kFirstTime = 51 + 44;
constexpr size_t kFirstTypeIndex = kFirstTime + 3 * 8;
constexpr size_t kFirstType = kFirstTypeIndex + 3;  // offset, daylight flag, abbreviation

void set_be32(std::string& bytes, size_t at, uint32_t value) {
  bytes.replace(at, 4, be(value, 4));
}

// Parses from a buffer of exactly the bytes' size, so that AddressSanitizer sees any
// read beyond it.
std::optional<ZoneRules> parse_exact(const std::string& bytes) {
  const std::vector<char> exact(bytes.begin(), bytes.end());
  return rules_from_tzif(std::string_view(exact.data(), exact.size()));
}

TEST(TzifZoneTest, ReadsTablesAndFooterOfEachVersion) {
  const struct {
    char version;
    const char* footer;
    int64_t utc;
    int32_t offset;
  } cases[] = {
      {'2', "", utc_time(1850, 1, 1), 3208},
      {'2', "", utc_time(1909, 12, 31, 23, 59, 59), 3208},
      {'2', "", utc_time(1910, 1, 1), 3600},
      {'3', "", utc_time(2015, 10, 25, 0, 59, 59), 7200},
      {'4', "", utc_time(2015, 10, 25, 1), 3600},
      {'\0', "", utc_time(2015, 7, 1), 7200},
      {'\0', "", utc_time(2090, 7, 1), 3600},                 // no footer: the last offset stays
      {'2', "", utc_time(2090, 7, 1), 3600},                  // an empty footer too
      {'2', "CET-1CEST,M3.5.0", utc_time(2090, 7, 1), 3600},  // an unreadable one too
      {'2', "CET-1CEST,M3.5.0,M10.5.0/3", utc_time(2090, 3, 26, 0, 59, 59), 3600},
      {'2', "CET-1CEST,M3.5.0,M10.5.0/3", utc_time(2090, 3, 26, 1), 7200},
  };
  for (const auto& c : cases) {
    const std::optional<ZoneRules> rules = parse_exact(build_tzif(c.version, c.footer));
    ASSERT_TRUE(rules) << c.version << c.footer;
    EXPECT_EQ(zone_offset_at(*rules, c.utc), c.offset) << c.version << c.footer << " at " << c.utc;
  }
}

TEST(TzifZoneTest, RefusesDamagedFilesWithoutReadingPastThem) {
  const std::string good = build_tzif('2');
  ASSERT_TRUE(parse_exact(good));
  for (size_t size = 0; size < good.size(); ++size) {
    EXPECT_FALSE(parse_exact(good.substr(0, size))) << "first " << size << " bytes";
  }
  const std::function<void(std::string&)> damages[] = {
      [](std::string& b) { b[3] = 'F'; },                           // magic
      [](std::string& b) { b[4] = '1'; },                           // no such version
      [](std::string& b) { set_be32(b, 36, 0xffffffff); },          // first block past end
      [](std::string& b) { set_be32(b, kTimeCount, 0xffffffff); },  // times past end
      [](std::string& b) { set_be32(b, kTimeCount, 0x10000000); },  // times past end
      [](std::string& b) { set_be32(b, kCharCount, 0x7fffffff); },  // abbreviations past end
      [](std::string& b) { set_be32(b, kTypeCount, 0); },           // no local time types
      [](std::string& b) { set_be32(b, kStdFlagCount, 2); },        // flags unlike types
      [](std::string& b) { set_be32(b, kUtFlagCount, 2); },         // flags unlike types
      [](std::string& b) { b.replace(kFirstTime + 8, 8, b, kFirstTime, 8); },  // time repeated
      [](std::string& b) { b[kFirstTypeIndex + 1] = 3; },                      // no such type
      [](std::string& b) { b[kFirstType] = 0x7f; },    // offset beyond a week
      [](std::string& b) { b[kFirstType + 4] = 2; },   // daylight flag neither 0 nor 1
      [](std::string& b) { b[kFirstType + 5] = 1; },   // abbreviation past the characters
      [](std::string& b) { b.back() = 'X'; },          // footer not closed
      [](std::string& b) { b[b.size() - 28] = 'X'; },  // no footer
  };
  for (size_t i = 0; i < std::size(damages); ++i) {
    std::string bytes = good;
    damages[i](bytes);
    EXPECT_FALSE(parse_exact(bytes)) << "damage " << i;
  }
}

// Every zone file of the system (without the posix/ and right/ copies) against the C library,
// 1850-2100: random instants and both sides of every change.
TEST(TzifZoneTest, EveryZoneFileMatchesTheCLibrary) {
  SKIP_WITHOUT_C_LIBRARY_ZONES();
  namespace fs = std::filesystem;
  const fs::path root = zone_folder_for_tests();
  std::vector<std::string> names;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string name = it->path().lexically_relative(root).generic_string();
    if (it->is_directory() && (name == "posix" || name == "right")) {
      it.disable_recursion_pending();
    } else if (it->is_regular_file()) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  const auto started = std::chrono::steady_clock::now();
  ComparisonCount total;
  int zones = 0;
  for (const std::string& name : names) {
    const std::optional<std::string> bytes = read_whole_file((root / name).string());
    if (!bytes || bytes->compare(0, 4, "TZif") != 0) continue;
    const std::optional<ZoneRules> rules = rules_from_tzif(*bytes);
    if (!rules) {
      ADD_FAILURE() << name << " not read";
      continue;
    }
    const ComparisonCount count =
        compare_with_c_library(name, *rules, utc_time(1850, 1, 1), utc_time(2100, 1, 1), 500);
    total.instants += count.instants;
    total.mismatches += count.mismatches;
    ++zones;
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
  std::printf("%d zone files, %lld instants, %lld mismatches, %.2f s\n", zones,
              static_cast<long long>(total.instants), static_cast<long long>(total.mismatches),
              seconds.count());
  EXPECT_GT(zones, 300);
  EXPECT_EQ(total.mismatches, 0);
}

}  // namespace
