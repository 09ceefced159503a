// The value layouts' fast paths against the layouts read with read_number
// alone: every value bit for bit, and the same findings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "convert/block_reader.h"
#include "convert/general_layout_for_tests.h"
#include "convert/plain_field.h"
#include "convert/value_layout.h"

namespace {

bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// plain_field::read of `text`, with digits before it that must play no part.
bool read_plain(const std::string& text, double& value) {
  const std::string buffer = std::string(plain_field::kBytesBefore, '7') + text;
  return plain_field::read(buffer.data() + buffer.size(), static_cast<int>(text.size()), value);
}

TEST(PlainFieldTest, ReadsPlainDecimalsAndLeavesTheRest) {
  if (!plain_field::kAvailable) GTEST_SKIP() << "no fast path on this processor";
  const struct {
    const char* text;
    bool plain;
    double value;
  } cases[] = {
      {"    1.2500", true, 1.25},
      {"  -55.7051", true, -55.7051},
      {"1234567890", true, 1234567890.0},
      {"-0.0000", true, -0.0},
      {".5", true, 0.5},
      {"-.5", true, -0.5},
      {"7", true, 7.0},
      {"   0000000000001", true, 1.0},
      {"123456789012345", true, 123456789012345.0},  // 15 digits: below 2^53
      {"1234567.12345678", true, 1234567.12345678},  // 15 digits and a dot
      {"0.1", true, 0.1},
      {"", false, 0},
      {"          ", false, 0},
      {"1234567890123456", false, 0},  // 16 digits may not fit 2^53
      {"12345678901234567", false, 0},
      {"1.2.3", false, 0},
      {"   1e5", false, 0},
      {" 1 2", false, 0},
      {"+1", false, 0},  // rare: left to the general reader
      {"12.", false, 0},
      {"-", false, 0},
      {".", false, 0},
      {"-.", false, 0},
      {"1-2", false, 0},
      {"--1", false, 0},
      {"\t1", false, 0},
      {"1 ", false, 0},
      {"1,5", false, 0},
  };
  for (const auto& c : cases) {
    double value = 99.0;
    EXPECT_EQ(read_plain(c.text, value), c.plain) << '\'' << c.text << '\'';
    if (c.plain) {
      EXPECT_TRUE(same_bits(value, c.value)) << '\'' << c.text << "' read " << value;
    }
  }
}

// Random text built to hit the fast path's edges: plain decimals of every
// shape, and their near misses.
struct TextMaker {
  std::mt19937_64 random{20261209};

  int below(int n) { return static_cast<int>(random() % static_cast<uint64_t>(n)); }

  std::string digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + below(10));
    return s;
  }

  // A decimal of up to 17 characters, usually plain, sometimes not.
  std::string number() {
    std::string s = below(4) == 0 ? "-" : below(40) == 0 ? "+" : "";
    const int whole = below(10);
    const int fraction = below(3) == 0 ? -1 : below(10);
    s += digits(whole);
    if (fraction >= 0) {
      s += '.';
      s += digits(fraction);
    }
    if (below(30) == 0)
      s.insert(static_cast<size_t>(below(static_cast<int>(s.size()) + 1)), 1,
               "e.-+ dDE\t,x"[below(11)]);
    if (below(40) == 0) {
      s += 'e';
      s += digits(below(3));
    }
    return s;
  }

  // Any byte a log might hold around its numbers.
  char noise() { return " \t.-+0123456789eEdDx,\r"[below(22)]; }

  // The options a file is read with: any of them, now and then.
  ValueSyntax syntax(bool delimited) {
    const int bits = below(3) == 0 ? 0 : below(8);
    return {(bits & 1) != 0, delimited && (bits & 2) != 0, (bits & 4) != 0};
  }

  // number() with a decimal comma for `syntax`: '.' and ',' change places.
  std::string number(const ValueSyntax& syntax) {
    std::string s = number();
    for (char& c : s) {
      if (syntax.decimal_comma && (c == '.' || c == ',')) c = c == '.' ? ',' : '.';
    }
    return s;
  }

  // Mostly `field` again with other digits, as the next line of a log
  // holds it; now and then with one byte changed, a near miss of its shape.
  std::string next(std::string field) {
    for (char& c : field) {
      if (c >= '0' && c <= '9') c = static_cast<char>('0' + below(10));
    }
    if (!field.empty() && below(8) == 0)
      field[static_cast<size_t>(below(static_cast<int>(field.size())))] = noise();
    return field;
  }
};

TEST(ValueLayoutDifferentialTest, FixedWidthReadsAsTheGeneralReader) {
  TextMaker make;
  const size_t starts[] = {20, 24, 19, 5, 0};
  // The lines of one file share their start, tag count and mostly the shapes of their fields.
  FieldShapes shapes;
  std::vector<std::string> last(9);
  size_t start = 20;
  int count = 8;
  ValueSyntax syntax;
  for (int i = 0; i < 60000; ++i) {
    if (i % 500 == 0) {
      start = starts[make.below(5)];
      count = 1 + make.below(9);
      syntax = make.syntax(false);
      shapes = FieldShapes{};
    }
    std::string line = make.digits(static_cast<int>(start));
    for (int k = 0; k < count; ++k) {
      std::string field = make.below(4) == 0 ? make.number(syntax) : make.next(last[k]);
      if (make.below(20) == 0)
        field = std::string(static_cast<size_t>(make.below(12)), make.noise());
      if (field.size() < 10) field.insert(0, 10 - field.size(), ' ');
      last[k] = field;
      line += field;
      line += make.below(8) == 0 ? make.noise() : '\t';
    }
    if (make.below(4) == 0)
      line.resize(static_cast<size_t>(make.below(static_cast<int>(line.size()) + 1)));

    double values[9], expected[9];
    LayoutFindings findings, expected_findings;
    extract_fixed_values(line.data(), line.size(), start, count, values, findings, shapes, syntax);
    general_layout::fixed_values(line.data(), line.size(), start, count, expected,
                                 expected_findings, syntax);
    for (int k = 0; k < count; ++k) {
      ASSERT_TRUE(same_bits(values[k], expected[k]))
          << "'" << line << "' tag " << k << ": " << values[k] << " vs " << expected[k];
    }
    ASSERT_EQ(findings.unusual, expected_findings.unusual) << "'" << line << "'";
  }
}

TEST(ValueLayoutDifferentialTest, DelimitedReadsAsTheGeneralReader) {
  TextMaker make;
  const char separators[] = {'\t', ',', ';', ' ', '.', 'e', '5', '-'};
  FieldShapes shapes;
  std::vector<std::string> last(15);
  char separator = '\t';
  size_t start = 20;
  int count = 8;
  ValueSyntax syntax;
  for (int i = 0; i < 60000; ++i) {
    if (i % 500 == 0) {
      separator = separators[make.below(8)];
      start = make.below(3) == 0 ? static_cast<size_t>(make.below(20)) : 20;
      count = 1 + make.below(12);
      syntax = make.syntax(true);
      shapes = FieldShapes{};
    }
    std::string line = make.digits(static_cast<int>(start));
    const int fields = make.below(4) == 0 ? make.below(count + 3) : count;
    for (int k = 0; k < fields; ++k) {
      // Runs of blanks and tabs, before the first field too, split them with --blanks.
      if (syntax.blanks && (k > 0 || make.below(2) == 0)) {
        line += std::string(static_cast<size_t>(1 + make.below(3)), " \t  "[make.below(4)]);
      } else if (k > 0) {
        line += separator;
      }
      std::string field =
          make.below(10) == 0 ? std::string(static_cast<size_t>(make.below(20)), make.noise())
          : make.below(3) == 0
              ? std::string(static_cast<size_t>(make.below(3)), ' ') + make.number(syntax)
              : make.next(last[k]);
      last[k] = field;
      line += field;
    }
    if (make.below(4) == 0)
      line.resize(static_cast<size_t>(make.below(static_cast<int>(line.size()) + 1)));
    // The line in a buffer with bytes after it, as a block holds the next line.
    std::string buffer = line;
    for (size_t k = 0; k < kBlockPadding; ++k) buffer += make.noise();

    double values[12], expected[12];
    LayoutFindings findings, expected_findings;
    extract_line_values(buffer.data(), line.size(), buffer.data() + buffer.size(), start, count,
                        separator, values, findings, shapes, syntax);
    general_layout::line_values(line.data(), line.size(), start, count, separator, expected,
                                expected_findings, syntax);
    for (int k = 0; k < count; ++k) {
      ASSERT_TRUE(same_bits(values[k], expected[k]))
          << "'" << line << "' tag " << k << ": " << values[k] << " vs " << expected[k];
    }
    ASSERT_EQ(findings.fields, expected_findings.fields) << "'" << line << "'";
    ASSERT_EQ(findings.not_a_number, expected_findings.not_a_number) << "'" << line << "'";
  }
}

}  // namespace
