// The values of a generated log: random walks of plausible measured
// quantities, and the text of a line's timestamp and values. Shared by loggen
// and the value reader benchmark so that both see the same text.
#pragma once

#include <cstdint>
#include <vector>

#include "common/ticks.h"
#include "log_text.h"

// A kind of measured quantity: name, typical level, range and random-walk
// step, all in 0.0001 units. Ranges stay within what "%10.4f" fits in 10
// columns (-9999.9999 .. 99999.9999). Levels near zero give negative values.
struct Quantity {
  const char* name;
  const char* description;
  int64_t center, low, high, step;
};

inline constexpr Quantity kQuantities[] = {
    {"TEMP", "Temperature degC", 1'800'000, -400'000, 6'000'000, 500},
    {"PRES", "Pressure bar", 400'000, 0, 600'000, 100},
    {"FLOW", "Flow m3/h", 200'000, -500'000, 50'000'000, 5'000},
    {"LEVEL", "Level %", 600'000, 0, 1'000'000, 200},
    {"POWER", "Active power kW", 175'000'000, -20'000'000, 900'000'000, 20'000},
    {"DPRES", "Differential pressure mbar", 0, -50'000'000, 50'000'000, 10'000},
    {"SPEED", "Shaft speed rpm", 198'000'000, 0, 300'000'000, 3'000},
    {"VIBR", "Vibration mm/s", 150'000, 0, 200'000, 50},
};
inline constexpr int kQuantityCount = sizeof kQuantities / sizeof kQuantities[0];

// xorshift64*: fast, and good enough for plausible-looking noise.
struct Random {
  uint64_t state;
  uint64_t next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
  }
  // Uniform in [-limit, limit].
  int64_t symmetric(int64_t limit) {
    return static_cast<int64_t>(next() % static_cast<uint64_t>(2 * limit + 1)) - limit;
  }
};

// The generator's state for a seed given on the command line.
inline Random random_for_seed(uint64_t seed) {
  return Random{seed * 0x9E3779B97F4A7C15ULL + 0x1234567};
}

struct Tag {
  const Quantity* quantity;
  int64_t value;   // current value in 0.0001 units
  int64_t target;  // level the walk drifts back to
};

// `count` tags cycling through the quantities, each at its own level.
inline std::vector<Tag> start_tags(int count, Random& random) {
  std::vector<Tag> tags;
  for (int i = 0; i < count; ++i) {
    const Quantity& q = kQuantities[i % kQuantityCount];
    // Each tag of a kind gets its own level, within a tenth of the range of the typical one.
    int64_t level = q.center + random.symmetric((q.high - q.low) / 10);
    if (level < q.low) level = q.low;
    if (level > q.high) level = q.high;
    tags.push_back(Tag{&q, level, level});
  }
  return tags;
}

// One random-walk step, pulled gently back to the tag's level and kept in range.
inline void step(Tag& tag, Random& random) {
  const Quantity& q = *tag.quantity;
  tag.value += random.symmetric(q.step) + (tag.target - tag.value) / 4096;
  if (tag.value < q.low) tag.value = 2 * q.low - tag.value;
  if (tag.value > q.high) tag.value = 2 * q.high - tag.value;
}

// Writes "DD/MM/YYYY hh:mm:ss" (19 characters) for a sample taken `seconds`
// after 2015-01-01 00:00:00, keeping the date text of the latest day.
struct LogClock {
  int64_t day = -1;
  char date[11] = {};

  char* put(char* out, int64_t seconds) {
    constexpr int64_t kFirstDay = 16436;  // 2015-01-01
    if (kFirstDay + seconds / 86400 != day) {
      day = kFirstDay + seconds / 86400;
      put_date(day);
    }
    const int second_of_day = static_cast<int>(seconds % 86400);
    for (char c : date) *out++ = c;
    out = put_two_digits(out, second_of_day / 3600);
    *out++ = ':';
    out = put_two_digits(out, second_of_day / 60 % 60);
    *out++ = ':';
    return put_two_digits(out, second_of_day % 60);
  }

 private:
  // "DD/MM/YYYY " for a day counted from 1970-01-01.
  void put_date(int64_t days) {
    const CivilTime d = civil_from_seconds(days * 86400);
    char* out = put_two_digits(date, d.day);
    *out++ = '/';
    out = put_two_digits(out, d.month);
    *out++ = '/';
    out = put_two_digits(out, static_cast<int>(d.year / 100));
    out = put_two_digits(out, static_cast<int>(d.year % 100));
    *out = ' ';
  }
};

// Steps every tag and writes its value after a tab: like printf("\t%10.4f"),
// or with `delimited` like printf("\t%.9g") with digits finer than the walk's.
inline char* put_values(char* out, char* limit, std::vector<Tag>& tags, Random& random,
                        bool delimited) {
  for (Tag& tag : tags) {
    step(tag, random);
    *out++ = '\t';
    if (delimited) {
      // Finer than the walk's 0.0001 grid so that "%.9g" has digits to show.
      const double fine = static_cast<double>(random.next() % 1000) * 1e-7;
      out = put_general_9(out, limit, static_cast<double>(tag.value) * 1e-4 + fine);
    } else {
      out = put_fixed_4(out, tag.value);
    }
  }
  return out;
}
