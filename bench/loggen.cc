// loggen: writes a synthetic measurement log and its tag header for the benchmark.
//
//   loggen OUT.txt [--tags N] [--lines N] [--delimited] [--fractions] [--seed N]
//
// One sample a second from 01/01/2015 00:00:00, dates day first. Each tag is a
// random walk around a level that suits its kind of quantity. The fixed-width
// layout writes each value like printf("\t%10.4f"), the delimited one like
// printf("\t%.9g"). With --fractions each time carries ".fff" milliseconds.
// OUT.HDR (the name up to its last '.', plus ".HDR") is written beside OUT.txt.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/ticks.h"
#include "log_text.h"

namespace {

struct Options {
  std::string out_path;
  int tags = 8;
  long long lines = 1'000'000;
  bool delimited = false;
  bool fractions = false;
  uint64_t seed = 1;
};

// A kind of measured quantity: name, typical level, range and random-walk
// step, all in 0.0001 units. Ranges stay within what "%10.4f" fits in 10
// columns (-9999.9999 .. 99999.9999). Levels near zero give negative values.
struct Quantity {
  const char* name;
  const char* description;
  int64_t center, low, high, step;
};

constexpr Quantity kQuantities[] = {
    {"TEMP", "Temperature degC", 1'800'000, -400'000, 6'000'000, 500},
    {"PRES", "Pressure bar", 400'000, 0, 600'000, 100},
    {"FLOW", "Flow m3/h", 200'000, -500'000, 50'000'000, 5'000},
    {"LEVEL", "Level %", 600'000, 0, 1'000'000, 200},
    {"POWER", "Active power kW", 175'000'000, -20'000'000, 900'000'000, 20'000},
    {"DPRES", "Differential pressure mbar", 0, -50'000'000, 50'000'000, 10'000},
    {"SPEED", "Shaft speed rpm", 198'000'000, 0, 300'000'000, 3'000},
    {"VIBR", "Vibration mm/s", 150'000, 0, 200'000, 50},
};
constexpr int kQuantityCount = sizeof kQuantities / sizeof kQuantities[0];
constexpr int kTagsPerUnit = 8;

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

struct Tag {
  const Quantity* quantity;
  int64_t value;   // current value in 0.0001 units
  int64_t target;  // level the walk drifts back to
};

bool parse_count(const char* text, long long low, long long high, long long& out) {
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  out = v;
  return true;
}

bool parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    long long number = 0;
    const bool has_value = i + 1 < argc;
    if (arg == "--delimited") {
      options.delimited = true;
    } else if (arg == "--fractions") {
      options.fractions = true;
    } else if (arg == "--tags" && has_value && parse_count(argv[++i], 1, 250, number)) {
      options.tags = static_cast<int>(number);
    } else if (arg == "--lines" && has_value && parse_count(argv[++i], 0, 1LL << 40, number)) {
      options.lines = number;
    } else if (arg == "--seed" && has_value && parse_count(argv[++i], 0, 1LL << 62, number)) {
      options.seed = static_cast<uint64_t>(number);
    } else if (!arg.empty() && arg[0] != '-' && options.out_path.empty()) {
      options.out_path = arg;
    } else {
      return false;
    }
  }
  return !options.out_path.empty();
}

std::string header_path(const std::string& out_path) {
  const size_t slash = out_path.find_last_of('/');
  const size_t dot = out_path.find_last_of('.');
  const bool has_extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_extension ? out_path.substr(0, dot) : out_path) + ".HDR";
}

std::string tag_name(int index) {
  char name[64];
  std::snprintf(name, sizeof name, "PLANT.UNIT%02d.%s_%03d", index / kTagsPerUnit + 1,
                kQuantities[index % kQuantityCount].name, index + 1);
  return name;
}

bool write_header(const std::string& path, int tags) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::fprintf(file, "%d\n", tags);
  for (int i = 0; i < tags; ++i) {
    std::fprintf(file, "%s %s\n", tag_name(i).c_str(), kQuantities[i % kQuantityCount].description);
  }
  return std::fclose(file) == 0;
}

std::vector<Tag> start_tags(int count, Random& random) {
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
void step(Tag& tag, Random& random) {
  const Quantity& q = *tag.quantity;
  tag.value += random.symmetric(q.step) + (tag.target - tag.value) / 4096;
  if (tag.value < q.low) tag.value = 2 * q.low - tag.value;
  if (tag.value > q.high) tag.value = 2 * q.high - tag.value;
}

// "DD/MM/YYYY " for a day counted from 1970-01-01.
void format_date(int64_t days, char* out) {
  const CivilTime d = civil_from_seconds(days * 86400);
  out = put_two_digits(out, d.day);
  *out++ = '/';
  out = put_two_digits(out, d.month);
  *out++ = '/';
  out = put_two_digits(out, static_cast<int>(d.year / 100));
  out = put_two_digits(out, static_cast<int>(d.year % 100));
  *out = ' ';
}

bool write_log(const Options& options, std::vector<Tag>& tags, Random& random) {
  FILE* file = std::fopen(options.out_path.c_str(), "wb");
  if (file == nullptr) return false;
  constexpr size_t kBufferSize = 8 << 20;
  // Longest line: 24 columns of time, then per value a separator and at most 16 characters.
  const size_t max_line = 24 + tags.size() * 17 + 1;
  std::vector<char> buffer(kBufferSize + max_line);
  char* const limit = buffer.data() + buffer.size();
  char* out = buffer.data();
  bool ok = true;

  constexpr int64_t kFirstDay = 16436;  // 2015-01-01
  int64_t day = -1;
  char date[11];
  for (long long line = 0; line < options.lines && ok; ++line) {
    const int64_t seconds_of_run = line;
    if (kFirstDay + seconds_of_run / 86400 != day) {
      day = kFirstDay + seconds_of_run / 86400;
      format_date(day, date);
    }
    const int second_of_day = static_cast<int>(seconds_of_run % 86400);
    std::memcpy(out, date, sizeof date);
    out += sizeof date;
    out = put_two_digits(out, second_of_day / 3600);
    *out++ = ':';
    out = put_two_digits(out, second_of_day / 60 % 60);
    *out++ = ':';
    out = put_two_digits(out, second_of_day % 60);
    if (options.fractions) {
      const int ms = static_cast<int>(random.next() % 1000);
      *out++ = '.';
      *out++ = static_cast<char>('0' + ms / 100);
      out = put_two_digits(out, ms % 100);
    }
    for (Tag& tag : tags) {
      step(tag, random);
      *out++ = '\t';
      if (options.delimited) {
        // Finer than the walk's 0.0001 grid so that "%.9g" has digits to show.
        const double fine = static_cast<double>(random.next() % 1000) * 1e-7;
        out = put_general_9(out, limit, static_cast<double>(tag.value) * 1e-4 + fine);
      } else {
        out = put_fixed_4(out, tag.value);
      }
    }
    *out++ = '\n';
    if (out - buffer.data() >= static_cast<ptrdiff_t>(kBufferSize)) {
      const size_t size = static_cast<size_t>(out - buffer.data());
      ok = std::fwrite(buffer.data(), 1, size, file) == size;
      out = buffer.data();
    }
  }
  const size_t size = static_cast<size_t>(out - buffer.data());
  if (ok && size > 0) ok = std::fwrite(buffer.data(), 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse_options(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: loggen OUT.txt [--tags N] [--lines N] [--delimited] [--fractions] "
                 "[--seed N]\n");
    return 2;
  }
  Random random{options.seed * 0x9E3779B97F4A7C15ULL + 0x1234567};
  std::vector<Tag> tags = start_tags(options.tags, random);
  if (!write_header(header_path(options.out_path), options.tags)) {
    std::perror(header_path(options.out_path).c_str());
    return 1;
  }
  if (!write_log(options, tags, random)) {
    std::perror(options.out_path.c_str());
    return 1;
  }
  return 0;
}
