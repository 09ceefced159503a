// loggen: writes a synthetic measurement log and its tag header for the benchmark.
//
//   loggen OUT.txt [--tags N] [--lines N] [--delimited] [--fractions] [--decimal-comma]
//                  [--blanks] [--seed N]
//
// One sample a second from 01/01/2015 00:00:00, dates day first. Each tag is a
// random walk around a level that suits its kind of quantity. The fixed-width
// layout writes each value like printf("\t%10.4f"), the delimited one like
// printf("\t%.9g"). With --fractions each time carries ".fff" milliseconds.
// --decimal-comma writes ',' for the values' decimal point; --blanks aligns the
// fixed-width values with blanks, like printf("  %10.4f").
// OUT.HDR (the name up to its last '.', plus ".HDR") is written beside OUT.txt.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "count_argument.h"
#include "log_walk.h"

namespace {

struct Options {
  std::string out_path;
  int tags = 8;
  long long lines = 1'000'000;
  bool delimited = false;
  bool fractions = false;
  bool decimal_comma = false;
  bool blanks = false;
  uint64_t seed = 1;
};

constexpr int kTagsPerUnit = 8;

bool parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    long long number = 0;
    const bool has_value = i + 1 < argc;
    if (arg == "--delimited") {
      options.delimited = true;
    } else if (arg == "--fractions") {
      options.fractions = true;
    } else if (arg == "--decimal-comma") {
      options.decimal_comma = true;
    } else if (arg == "--blanks") {
      options.blanks = true;
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

bool write_log(const Options& options, std::vector<Tag>& tags, Random& random) {
  FILE* file = std::fopen(options.out_path.c_str(), "wb");
  if (file == nullptr) return false;
  constexpr size_t kBufferSize = 8 << 20;
  // Longest line: 24 columns of time, then per value a separator and at most 16 characters.
  const size_t max_line = 24 + tags.size() * 18 + 1;
  std::vector<char> buffer(kBufferSize + max_line);
  char* const limit = buffer.data() + buffer.size();
  char* out = buffer.data();
  bool ok = true;

  LogClock clock;
  for (long long line = 0; line < options.lines && ok; ++line) {
    out = clock.put(out, line);
    if (options.fractions) {
      const int ms = static_cast<int>(random.next() % 1000);
      *out++ = '.';
      *out++ = static_cast<char>('0' + ms / 100);
      out = put_two_digits(out, ms % 100);
    }
    char* const values = out;
    out = put_values(out, limit, tags, random, options.delimited);
    for (char* p = values; p < out; ++p) {
      if (options.decimal_comma && *p == '.') *p = ',';
    }
    if (options.blanks) {
      // Each TAB before a value becomes two blanks, from the back.
      const ptrdiff_t tabs = std::count(values, out, '\t');
      char* to = out + tabs;
      for (char* p = out; p-- > values;) {
        *--to = *p == '\t' ? ' ' : *p;
        if (*p == '\t') *--to = ' ';
      }
      out += tabs;
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
                 "[--decimal-comma] [--blanks] [--seed N]\n");
    return 2;
  }
  Random random = random_for_seed(options.seed);
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
