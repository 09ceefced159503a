#include "convert/value_layout.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr char kStamp[] = "05/03/2015 10:20:30";
constexpr ValueSyntax kComma{.decimal_comma = true};
constexpr ValueSyntax kBlanks{.blanks = true};
constexpr ValueSyntax kNan{.nan = true};
constexpr double kNaN = kMissingValue;

// The values' bits: NaN compares equal to itself, and only the quiet NaN 0x7FF8000000000000 to it.
std::vector<uint64_t> bits(const std::vector<double>& values) {
  std::vector<uint64_t> result;
  for (const double v : values) result.push_back(std::bit_cast<uint64_t>(v));
  return result;
}

std::vector<uint64_t> fixed(const std::string& line, int count, size_t start = 20,
                            const ValueSyntax& syntax = {}) {
  std::vector<double> values(count, -99.0);
  extract_fixed_values(line.data(), line.size(), start, count, values.data(), syntax);
  return bits(values);
}

std::vector<uint64_t> delimited(const std::string& line, int count, char separator,
                                size_t start = 20, const ValueSyntax& syntax = {}) {
  std::vector<double> values(count, -99.0);
  extract_line_values(line.data(), line.size(), start, count, separator, values.data(), syntax);
  return bits(values);
}

TEST(FixedValuesTest, ReadsTenColumnFields) {
  const std::string s = kStamp;
  const struct {
    std::string line;
    int count;
    std::vector<double> expected;
    ValueSyntax syntax = {};
  } cases[] = {
      {s + "\t      1.25\t      -3.5", 2, {1.25, -3.5}},
      {s + "\t     12,50\t      -3,5", 2, {12.5, -3.5}, kComma},
      {s + "\t      1.25\t         7", 2, {1.0, 7.0}, kComma},  // '.' ends the number
      {s + "\t123456789,01234", 2, {123456789.01234, 1234.0}, kComma},
      {s + "\t" + std::string(10, ' ') + "\t      1.25", 3, {kNaN, 1.25, kNaN}, kNan},
      {s + "\t       abc\t     12abc\t      ", 4, {kNaN, 12.0, kNaN, kNaN}, kNan},
      {s + "\t" + std::string(10, ' ') + "\t      1.25", 2, {1.25, 1.25}},  // blanks take the next
      {s + "\t123456789.01234", 2, {123456789.01234, 1234.0}},              // wide values run on
      {s + "\t      1.25", 3, {1.25, 0.0, 0.0}},  // positions beyond the end
      {s, 2, {0.0, 0.0}},
      {s + "\t     12,50\t         7", 2, {12.0, 7.0}},
      {s + "\t       abc\t       1d2", 2, {0.0, 100.0}},
      {s + "\t1.0", 0, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fixed(c.line, c.count, 20, c.syntax), bits(c.expected)) << c.line;
  }
}

TEST(FixedValuesTest, TellsWhyAFieldIsUnusual) {
  const std::string s = kStamp;
  const struct {
    std::string line;
    int unusual;  // the first unusual tag of two, or -1
    FieldFault fault;
  } cases[] = {
      {s + "\t      1.25\t      -3.5", -1, FieldFault::kNone},
      {s + "\t      1.25\t      -3.5   ", -1, FieldFault::kNone},  // blanks after the last
      {s + "\t      1.25\t  -3.5", 1, FieldFault::kNone},          // a short last field
      {s + "\t123456789.01234", 0, FieldFault::kNone},             // a wide value
      {s + "\t      1.25\t  12,5    ", 1, FieldFault::kMisaligned},
      {s + "\t" + std::string(10, ' ') + "\t      1.25", 0, FieldFault::kBlank},
      {s + "\t      1.25\t     \t   ", 1, FieldFault::kBlank},
      {s + "\t      1.25\t       N/A", 1, FieldFault::kNotANumber},
      {s + "\t         -\t         1", 0, FieldFault::kNotANumber},
      {s + "\t      1.25", 1, FieldFault::kBeyondLine},
  };
  for (const auto& c : cases) {
    double values[2];
    LayoutFindings findings;
    FieldShapes shapes;
    extract_fixed_values(c.line.data(), c.line.size(), 20, 2, values, findings, shapes);
    EXPECT_EQ(findings.unusual, c.unusual) << c.line;
    if (c.unusual >= 0) {
      EXPECT_EQ(fixed_field_fault(c.line.data(), c.line.size(), 20 + 11 * c.unusual), c.fault)
          << c.line;
    }
  }
}

TEST(FixedValuesTest, StartsBehindAFraction) {
  const std::string line = std::string(kStamp) + ".123\t      1.25\t      -3.5";
  EXPECT_EQ(fixed(line, 2, 24), bits({1.25, -3.5}));
}

TEST(DelimitedValuesTest, SplitsAtTheSeparator) {
  const std::string s = std::string(kStamp) + ";";
  const struct {
    std::string line;
    int count;
    char separator;
    std::vector<double> expected;
    ValueSyntax syntax = {};
  } cases[] = {
      {s + "1.5;22.75;333.125", 3, ';', {1.5, 22.75, 333.125}},
      {s + "1,5;-22,75;3.5", 3, ';', {1.5, -22.75, 3.0}, kComma},
      {std::string(kStamp) + "   1.5 \t 22.75\t3  ", 4, ' ', {1.5, 22.75, 3.0, 3.0}, kBlanks},
      {std::string(kStamp) + " \t ", 2, ' ', {0.0, 0.0}, kBlanks},
      {std::string(kStamp) + " 1,5  2", 2, ' ', {1.5, 2.0}, {true, true, false}},
      {s + "1.5;; ;x;12abc", 6, ';', {1.5, kNaN, kNaN, kNaN, 12.0, kNaN}, kNan},
      {std::string(kStamp), 2, ';', {kNaN, kNaN}, kNan},
      {std::string(kStamp) + " 1 x", 3, ' ', {1.0, kNaN, kNaN}, {false, true, true}},
      {s + "1.5;22.75", 3, ';', {1.5, 22.75, 22.75}},  // the last field repeats
      {s + "1.5", 3, ';', {1.5, 1.5, 1.5}},
      {s + "1.5;;7", 2, ';', {1.5, 0.0}},          // empty field, extra field ignored
      {s + "1;2;", 4, ';', {1.0, 2.0, 0.0, 0.0}},  // separator right before the end
      {s + "123456789.01234;2", 2, ';', {123456789.01234, 2.0}},
      {s + "1.5;22.75", 0, ';', {}},
      {std::string(kStamp) + " 1  2 3", 4, ' ', {1.0, 0.0, 2.0, 3.0}},  // blank separator
      {std::string(kStamp) + ",1,2", 2, ',', {1.0, 2.0}},
      {std::string(kStamp) + "\t   1.5\t  \t7", 3, '\t', {1.5, 0.0, 7.0}},  // blank field is 0
      {std::string(kStamp), 2, ';', {0.0, 0.0}},  // ends before the values
      {"05/03/2015 10:20", 2, ';', {0.0, 0.0}},   // ends before column 20
      {s + "1e2;-2,5;3", 3, ';', {100.0, -2.0, 3.0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(delimited(c.line, c.count, c.separator, 20, c.syntax), bits(c.expected)) << c.line;
  }
}

TEST(ValueLayoutTest, NotesEmptyFieldsAndNumbersBeyondRange) {
  const std::string s = std::string(kStamp) + ";";
  const struct {
    std::string line;
    char separator;  // 0: fixed width
    int empty, out_of_range;
  } cases[] = {
      {s + "1;;3", ';', 1, -1},
      {s + "1;2;", ';', 2, -1},                  // a separator right before the end
      {s + "1;2;3;", ';', -1, -1},               // the empty field is no tag's
      {s + "1; \t;3", ';', 1, -1},               // blank
      {s + "1", ';', -1, -1},                    // repeated, not empty
      {std::string(kStamp) + ";", ';', -1, -1},  // no fields: the field count tells
      {s + "1e-310;4.9e-324;1e308", ';', -1, -1},
      {s + "1;2e-324;1e999", ';', -1, 1},
      {s + "1;;-1d999", ';', 1, 2},
      {std::string(kStamp) + "\t      1.25\t     1e999\t   1e-9999", 0, -1, 1},
      {std::string(kStamp) + "\t          \t   1.5e308", 0, -1, -1},
  };
  for (const auto& c : cases) {
    double values[3];
    LayoutFindings findings;
    FieldShapes shapes;
    if (c.separator == 0) {
      extract_fixed_values(c.line.data(), c.line.size(), 20, 3, values, findings, shapes);
    } else {
      extract_line_values(c.line.data(), c.line.size(), c.line.data() + c.line.size(), 20, 3,
                          c.separator, values, findings, shapes);
    }
    EXPECT_EQ(findings.empty, c.empty) << c.line;
    EXPECT_EQ(findings.out_of_range, c.out_of_range) << c.line;
  }
}

TEST(DelimitedValuesTest, FieldsEndAtTheirSeparator) {
  // Without the field bound, "1" would read on into "e5" after a separator that is 'x'.
  const std::string line = std::string(kStamp) + ";1xe5";
  EXPECT_EQ(delimited(line, 2, 'x'), bits({1.0, 0.0}));
}

TEST(DelimitedValuesTest, StartsBehindAFraction) {
  EXPECT_EQ(delimited("05/03/2015 10:20:30.5;1;2", 2, ';', 22), bits({1.0, 2.0}));
  EXPECT_EQ(delimited("05/03/2015 10:20:30.123;3;4", 2, ';', 24), bits({3.0, 4.0}));
}

TEST(DelimitedValuesTest, ReadsTheLongestLines) {
  std::string line = kStamp;
  std::vector<double> expected;
  for (int k = 0; k < 250; ++k) {
    std::string value = std::to_string(k) + ".";
    value.resize(25, '0');
    line += '\t' + value;
    expected.push_back(k);
  }
  EXPECT_EQ(delimited(line, 250, '\t'), bits(expected));
}

}  // namespace
