// value_reader_bench: nanoseconds per value of the two value layouts'
// readers, on lines with the text loggen writes.
//
//   value_reader_bench [--lines N] [--passes N]
//
// Each case holds N lines (default 100000) of 8 tags in one buffer, '\n'
// between lines and 64 zero bytes after the last, as the converter sees a
// block of the data file. A pass calls the layout's extractor once per line;
// the best of the passes (default 10) is reported, one line per case:
//
//   value reader KEY: NS ns/value (what the fields are, tags x lines, passes)
//
// KEY is fixed-common (printf "%10.4f" fields, the fast path), fixed-fallback
// (10-column fields the fast path leaves to the general reader: exponents
// with E or d, 8 decimals) or delimited (TAB-separated "%.9g" fields, /e).
// Before timing, every value is checked against strtod of its field and
// every line must read without findings: a mismatch exits with status 1.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/value_layout.h"
#include "count_argument.h"
#include "log_walk.h"

namespace {

constexpr int kTags = 8;
constexpr size_t kValuesStart = 20;  // 19 columns of timestamp, then the first separator
constexpr size_t kFieldStride = 11;
constexpr size_t kFieldWidth = 10;
constexpr size_t kPadding = 64;  // zero bytes after the last line, for readers that load words

struct Line {
  size_t offset;
  size_t size;  // without the '\n'
};

// One case: its lines in one buffer and how they are read.
struct Case {
  const char* key;
  const char* fields;  // what the fields hold, for the report
  bool delimited;
  std::vector<char> text;
  std::vector<Line> lines;
};

// Writes a fixed-width field the fast path does not take, chosen by the tag's
// index: " 1.800E+02", "  1.80d+02" or "0.01800123" / "-.01800123" (the
// walk's 0.0001 units as 8 decimals), each right-aligned in 10 columns.
char* put_fallback_field(char* out, int tag, int64_t ten_thousandths) {
  char field[32];
  const double value = static_cast<double>(ten_thousandths) * 1e-4;
  switch (tag % 3) {
    case 0:
      std::snprintf(field, sizeof field, "%10.3E", value);
      break;
    case 1:
      std::snprintf(field, sizeof field, "%10.2e", value);
      for (char* p = field; *p != '\0'; ++p) {
        if (*p == 'e') *p = 'd';
      }
      break;
    default: {
      const long long magnitude =
          (ten_thousandths < 0 ? -ten_thousandths : ten_thousandths) % 100'000'000;
      std::snprintf(field, sizeof field, ten_thousandths < 0 ? "-.%08lld" : "0.%08lld", magnitude);
      break;
    }
  }
  for (const char* p = field; *p != '\0'; ++p) *out++ = *p;
  return out;
}

// Steps every tag and writes its value after a tab as put_fallback_field does.
char* put_fallback_values(char* out, std::vector<Tag>& tags, Random& random) {
  for (size_t k = 0; k < tags.size(); ++k) {
    step(tags[k], random);
    *out++ = '\t';
    out = put_fallback_field(out, static_cast<int>(k), tags[k].value);
  }
  return out;
}

// A case of `line_count` lines: a timestamp, then the values that
// `put_fields(out, limit, tags, random)` writes, from the seed loggen uses by default.
template <typename PutFields>
Case make_case(const char* key, const char* fields, bool delimited, long long line_count,
               PutFields put_fields) {
  Case c{key, fields, delimited, {}, {}};
  const size_t max_line = 24 + kTags * 17 + 1;
  c.text.resize(static_cast<size_t>(line_count) * max_line + kPadding);
  c.lines.reserve(static_cast<size_t>(line_count));
  Random random = random_for_seed(1);
  std::vector<Tag> tags = start_tags(kTags, random);
  LogClock clock;
  char* const begin = c.text.data();
  char* const limit = begin + c.text.size();
  char* out = begin;
  for (long long i = 0; i < line_count; ++i) {
    char* const line = out;
    out = clock.put(out, i);
    out = put_fields(out, limit, tags, random);
    c.lines.push_back(Line{static_cast<size_t>(line - begin), static_cast<size_t>(out - line)});
    *out++ = '\n';
  }
  // The bytes past the last line were never written: they stay zero.
  c.text.resize(static_cast<size_t>(out - begin) + kPadding);
  return c;
}

// Reads the values of one line the way the converter does for the case's
// layout: `shapes` goes from line to line, as in a converting thread.
void read_line(const Case& c, const Line& line, double* values, LayoutFindings& findings,
               FieldShapes& shapes) {
  const char* const text = c.text.data() + line.offset;
  if (c.delimited) {
    extract_line_values(text, line.size, c.text.data() + c.text.size(), kValuesStart, kTags, '\t',
                        values, findings, shapes);
  } else {
    extract_fixed_values(text, line.size, kValuesStart, kTags, values, findings, shapes);
  }
}

// The text of field `k` of a line: 10 columns, or up to the next tab when delimited.
std::string field_text(const Case& c, const Line& line, int k) {
  const std::string text(c.text.data() + line.offset, line.size);
  if (!c.delimited) return text.substr(kValuesStart + kFieldStride * k, kFieldWidth);
  size_t begin = kValuesStart;
  for (int i = 0; i < k; ++i) begin = text.find('\t', begin) + 1;
  return text.substr(begin, text.find('\t', begin) - begin);
}

// Whether every line reads without findings and every value equals strtod of
// its field (with a d exponent read as e); names the first mismatch otherwise.
bool check_case(const Case& c) {
  FieldShapes shapes;
  for (size_t i = 0; i < c.lines.size(); ++i) {
    double values[kTags];
    LayoutFindings findings;
    read_line(c, c.lines[i], values, findings, shapes);
    if (findings.unusual >= 0 || findings.fields >= 0 || findings.not_a_number >= 0) {
      std::fprintf(stderr, "value_reader_bench: %s: line %zu has findings (%d %d %d)\n", c.key,
                   i + 1, findings.unusual, findings.fields, findings.not_a_number);
      return false;
    }
    for (int k = 0; k < kTags; ++k) {
      std::string field = field_text(c, c.lines[i], k);
      const std::string shown = field;
      for (char& ch : field) {
        if (ch == 'd' || ch == 'D') ch = 'e';
      }
      const double expected = std::strtod(field.c_str(), nullptr);
      if (values[k] != expected) {
        std::fprintf(stderr,
                     "value_reader_bench: %s: line %zu field %d \"%s\" read %.17g, not %.17g\n",
                     c.key, i + 1, k, shown.c_str(), values[k], expected);
        return false;
      }
    }
  }
  return true;
}

// The shortest of `passes` passes over all lines, in nanoseconds. Every pass
// must sum the values to the same checksum (which also keeps the reads alive).
bool time_case(const Case& c, int passes, double& best_ns) {
  double first_sum = 0.0;
  best_ns = 0.0;
  FieldShapes shapes;
  for (int pass = 0; pass < passes; ++pass) {
    // One sum per tag: independent additions that hide behind the reads.
    double sums[kTags] = {};
    const auto start = std::chrono::steady_clock::now();
    for (const Line& line : c.lines) {
      double values[kTags];
      LayoutFindings findings;
      read_line(c, line, values, findings, shapes);
      for (int k = 0; k < kTags; ++k) sums[k] += values[k];
    }
    const auto stop = std::chrono::steady_clock::now();
    double sum = 0.0;
    for (double s : sums) sum += s;
    const double ns = std::chrono::duration<double, std::nano>(stop - start).count();
    if (pass == 0) first_sum = sum;
    if (sum != first_sum) {
      std::fprintf(stderr, "value_reader_bench: %s: pass %d summed %.17g, the first %.17g\n", c.key,
                   pass + 1, sum, first_sum);
      return false;
    }
    if (pass == 0 || ns < best_ns) best_ns = ns;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  long long line_count = 100'000;
  long long passes = 10;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (!(arg == "--lines" && has_value && parse_count(argv[++i], 1, 10'000'000, line_count)) &&
        !(arg == "--passes" && has_value && parse_count(argv[++i], 1, 1000, passes))) {
      std::fprintf(stderr, "usage: value_reader_bench [--lines N] [--passes N]\n");
      return 2;
    }
  }
  const auto put_fixed = [](char* out, char* limit, std::vector<Tag>& tags, Random& random) {
    return put_values(out, limit, tags, random, false);
  };
  const auto put_fallback = [](char* out, char*, std::vector<Tag>& tags, Random& random) {
    return put_fallback_values(out, tags, random);
  };
  const auto put_delimited = [](char* out, char* limit, std::vector<Tag>& tags, Random& random) {
    return put_values(out, limit, tags, random, true);
  };
  const Case cases[] = {
      make_case("fixed-common", "fixed width, \"%10.4f\" fields", false, line_count, put_fixed),
      make_case("fixed-fallback",
                "fixed width, \" 1.800E+02\" \"  1.80d+02\" \"0.01800123\" fields", false,
                line_count, put_fallback),
      make_case("delimited", "TAB-separated \"%.9g\" fields", true, line_count, put_delimited),
  };
  for (const Case& c : cases) {
    double best_ns;
    if (!check_case(c) || !time_case(c, static_cast<int>(passes), best_ns)) return 1;
    std::printf("value reader %s: %.2f ns/value (%s, %d tags x %lld lines, best of %lld passes)\n",
                c.key, best_ns / (static_cast<double>(line_count) * kTags), c.fields, kTags,
                line_count, passes);
    std::fflush(stdout);
  }
  return 0;
}
