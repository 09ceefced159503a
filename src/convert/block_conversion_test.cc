#include "convert/block_conversion.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "common/tag_table_for_tests.h"
#include "convert/text_reader_for_tests.h"
#include "history/history_file.h"
#include "zone/time_zone_for_tests.h"

namespace {

// What a file converted block by block and joined in order comes to.
struct Joined {
  std::vector<uint64_t> ticks;  // of each record
  std::vector<double> values;   // of each record, in order
  std::vector<std::string> warnings;
  uint64_t lines = 0, malformed = 0, first_malformed = 0, valid = 0;
  bool operator==(const Joined&) const = default;
};

void PrintTo(const Joined& j, std::ostream* out) {
  *out << j.lines << " lines, " << j.malformed << " malformed from " << j.first_malformed << ", "
       << j.valid << " valid; ticks";
  for (uint64_t t : j.ticks) *out << ' ' << t;
  *out << "; values";
  for (double v : j.values) *out << ' ' << v;
  for (const std::string& w : j.warnings) *out << "\n  " << w;
}

// Converts `text` in blocks filled by reads of `read_size` bytes, joined in file order.
Joined convert_in_blocks(const std::string& text, size_t read_size, const TimeZone& zone,
                         const ConversionOptions& options) {
  const auto tags = tag_table_of({"A", "B"});
  TextReader text_reader(text, read_size);
  BlockReader& reader = text_reader.reader;
  const size_t record_length = history_record_length(tags->count);
  const BlockSettings settings{&options, tags.get(), "f.txt", record_length};
  BlockWorker worker{zone, {}, {}, {}};
  Block block;
  block_init(block, reader);
  BlockResult result;
  block_result_init(result, reader, record_length);
  JoinState state;
  Warnings warnings;
  Joined out;
  while (next_block(reader, block)) {
    convert_block(block, settings, worker, result);
    join_block(state, result, settings, warnings);
    for (size_t at = 0; at < result.used; at += record_length) {
      uint64_t words[3];
      std::memcpy(words, result.records.get() + at, sizeof words);
      out.ticks.push_back(words[0]);
      for (int k = 1; k <= 2; ++k) out.values.push_back(std::bit_cast<double>(words[k]));
    }
  }
  for (const Warning& w : warnings.shown) {
    out.warnings.push_back(std::to_string(w.line) + ": " + w.text);
  }
  // The counts that reach the output: kinds told once per file show no count.
  for (size_t kind = 0; kind < kWarningKinds; ++kind) {
    if (shown_limit(static_cast<WarningKind>(kind)) > 1) {
      out.warnings.push_back(std::to_string(warnings.counts[kind]));
    }
  }
  out.lines = state.lines;
  out.malformed = state.malformed;
  out.first_malformed = state.first_malformed;
  out.valid = state.valid;
  return out;
}

// Ticks of the UTC time `minutes` after midnight UTC of the day `date` ("DD/MM/YYYY").
uint64_t utc_ticks(const std::string& date, int64_t minutes) {
  using namespace std::chrono;
  const year_month_day day{year{std::stoi(date.substr(6))},
                           month{static_cast<unsigned>(std::stoi(date.substr(3, 2)))},
                           std::chrono::day{static_cast<unsigned>(std::stoi(date.substr(0, 2)))}};
  const seconds since_1601 = sys_days{day} - sys_days{1601y / January / 1} + minutes * 1min;
  return static_cast<uint64_t>(since_1601.count()) * 10'000'000;
}

// Lines at the times `hh_mm` of `date`, each with the values 1 and 2 in fixed-width columns.
std::string times_on(const std::string& date, std::initializer_list<const char*> hh_mm) {
  std::string out;
  for (const char* t : hh_mm) out += date + " " + t + ":00\t         1\t         2\n";
  return out;
}

// Lines on 25/10/2015, the day Berlin repeats 02:00-03:00.
std::string times(std::initializer_list<const char*> hh_mm) {
  return times_on("25/10/2015", hh_mm);
}

TEST(BlockJoinTest, EveryBlockSizeGivesTheResultOfOneBlock) {
  ScopedTimeZone berlin("Europe/Berlin");
  std::string malformed_lines;
  for (int i = 0; i < 14; ++i) malformed_lines += "bad line " + std::to_string(i) + "\n";
  ConversionOptions delimited;
  delimited.delimited = true;
  ConversionOptions windowed;
  windowed.has_start = true;
  windowed.start = TimeOfDay{2, 20, 0};
  const struct {
    const char* name;
    std::string text;
    ConversionOptions options;
  } cases[] = {
      {"repeated hour written on across the change, then into it again",
       times({"01:50", "02:40", "02:50", "02:10", "02:20", "03:10", "02:30"}),
       {}},
      {"repeated hour at the very start", times({"02:40", "02:10", "02:20"}), {}},
      {"hourly across the change", times({"00:00", "01:00", "02:00", "02:00", "03:00"}), {}},
      {"window drops a repeated line", times({"02:40", "02:10", "02:30"}), windowed},
      {"warnings over their cap, malformed first in a later block",
       times({"01:00", "01:10"}) + malformed_lines + times({"01:20"}) + malformed_lines,
       {}},
      {"time going backwards twice", times({"01:00", "00:30", "01:10", "00:10"}), {}},
      {"fields over their cap",
       std::string(24, ' ') + "\n" +
           [] {
             std::string t;
             for (int i = 0; i < 13; ++i) t += "25/10/2015 04:00:00\tx\t1\t2\n";
             return t;
           }(),
       delimited},
      {"CR LF, a byte-order mark, a misaligned value and a Ctrl-Z",
       "\xEF\xBB\xBF" + times({"01:00"}) + "25/10/2015 01:30:00\t3\t4\r\n" + times({"01:35"}) +
           "25/10/2015 01:36:00\t5\t6\r\n\x1A" + times({"01:40"}),
       {}},
  };
  for (const auto& c : cases) {
    const Joined whole = convert_in_blocks(c.text, 1 << 20, berlin.zone, c.options);
    EXPECT_GT(whole.valid, 0u) << c.name;
    for (size_t read_size : {1, 2, 19, 20, 41, 64, 333}) {
      EXPECT_EQ(convert_in_blocks(c.text, read_size, berlin.zone, c.options), whole)
          << c.name << ", reads of " << read_size;
    }
  }
}

TEST(BlockJoinTest, SettlesRepeatedTimesAcrossBlocks) {
  // Each line is 42 bytes: reads of 42 put every line in a block of its own.
  const struct {
    const char* tz;
    const char* date;
    std::string text;
    std::vector<int64_t> minutes;  // after midnight UTC of `date`
  } cases[] = {
      // 02:10 after 02:50 is the second 02:10; so is 02:30 after 03:10, which
      // still lies before it (time goes backwards there).
      {"Europe/Berlin",
       "25/10/2015",
       times({"01:50", "02:40", "02:50", "02:10", "03:10", "02:30"}),
       {-10, 40, 50, 70, 130, 90}},
      // An hourly log writes the repeated hour twice.
      {"Europe/Berlin",
       "25/10/2015",
       times({"00:00", "01:00", "02:00", "02:00", "03:00"}),
       {-120, -60, 0, 60, 120}},
      // Two rows in one second, and an event log that repeats a time 75 minutes on.
      {"Europe/Berlin",
       "25/10/2015",
       times({"02:20", "02:30", "02:30", "02:40"}),
       {20, 30, 30, 40}},
      {"Europe/Berlin",
       "25/10/2015",
       times({"00:55", "02:10", "02:10", "02:15"}),
       {-65, 10, 10, 15}},
      // Lord Howe repeats half an hour.
      {"Australia/Lord_Howe",
       "05/04/2015",
       times_on("05/04/2015", {"01:00", "01:30", "01:30", "02:00"}),
       {-600, -570, -540, -510}},
      {"Australia/Lord_Howe",
       "05/04/2015",
       times_on("05/04/2015", {"01:30", "01:30", "01:30"}),
       {-570, -570, -570}},
  };
  for (const auto& c : cases) {
    ScopedTimeZone zone(c.tz);
    std::vector<uint64_t> expected;
    for (int64_t m : c.minutes) expected.push_back(utc_ticks(c.date, m));
    for (size_t read_size : {42, 1 << 20}) {
      EXPECT_EQ(convert_in_blocks(c.text, read_size, zone.zone, {}).ticks, expected)
          << c.text << "in reads of " << read_size;
    }
  }
}

TEST(BlockJoinTest, CountsAndCapsWarningsAcrossBlocks) {
  ScopedTimeZone berlin("Europe/Berlin");
  const Joined joined = convert_in_blocks(
      times({"01:50", "02:40", "02:50", "02:10", "03:10", "02:30"}), 42, berlin.zone, {});
  // Each result ends with the counts of the kinds shown up to ten times.
  size_t counted_kinds = 0;
  for (size_t kind = 0; kind < kWarningKinds; ++kind)
    counted_kinds += shown_limit(static_cast<WarningKind>(kind)) > 1;
  ASSERT_EQ(joined.warnings.size(), 1u + counted_kinds);
  EXPECT_EQ(joined.warnings[0].substr(0, 3), "6: ");  // time goes backwards
  EXPECT_EQ(joined.lines, 6u);
  EXPECT_EQ(joined.valid, 6u);

  std::string bad;
  for (int i = 0; i < 12; ++i) bad += "x\n";
  const Joined capped = convert_in_blocks(times({"01:00"}) + bad + bad, 7, berlin.zone, {});
  EXPECT_EQ(capped.malformed, 24u);
  EXPECT_EQ(capped.first_malformed, 2u);
  EXPECT_EQ(capped.warnings.size(), 10u + counted_kinds);  // ten shown, then the counts
  EXPECT_EQ(capped.warnings[10], "24");                    // malformed lines come first
  EXPECT_EQ(capped.warnings[9].substr(0, 4), "11: ");
}

}  // namespace
