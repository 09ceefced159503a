#include "convert/number_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

double read(const std::string& text, bool decimal_comma = false) {
  const char* const end = text.data() + text.size();
  const char* stop;
  return decimal_comma ? read_number<','>(text.data(), end, end, stop)
                       : read_number(text.data(), end);
}

TEST(ReadNumberTest, FollowsTheValueGrammar) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    std::string text;
    double expected;
    bool decimal_comma = false;
  } cases[] = {
      {"1.25", 1.25},
      {"12,5", 12.5, true},
      {"-1.5", -1.0, true},
      {"1,5d3", 1500.0, true},
      {"1,000000000000000000000000000000000000001", 1.0, true},  // read by from_chars
      {"1,7976931348623157e308", std::numeric_limits<double>::max(), true},
      {"-1,5e999", -inf, true},
      {"0,1e-400", 0.0, true},
      {"      -3.5", -3.5},
      {"\t\n\v\f\r 7", 7.0},
      {"+.5", 0.5},
      {".5", 0.5},
      {"5.", 5.0},
      {"1.5d3", 1500.0},
      {"1.5D-1", 0.15},
      {"2E+2", 200.0},
      {"1.5e", 1.5},
      {"1.5e+", 1.5},
      {"1.5ex", 1.5},
      {"12,5", 12.0},
      {"0x10", 0.0},
      {"inf", 0.0},
      {"nan", 0.0},
      {"", 0.0},
      {".", 0.0},
      {"-", 0.0},
      {"-.e5", 0.0},
      {"abc", 0.0},
      {"0.1", 0.1},
      {"123456789.01234", 123456789.01234},
      {"9007199254740993", 9007199254740992.0},  // ties to even
      {"1e999", inf},
      {"-1e999", -inf},
      {"1e-400", 0.0},
      {"4.9e-324", std::numeric_limits<double>::denorm_min()},
      {"1.7976931348623157e308", std::numeric_limits<double>::max()},
      {"0.000000000000000000000000000001", 1e-30},
      {"1e00000000000000000000000000002", 100.0},
      {"1.000000000000000000000000000000000000001", 1.0},
      {std::string("12\0"
                   "34",
                   5),
       12.0},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.text, c.decimal_comma), c.expected) << c.text;
}

TEST(ReadNumberTest, KeepsTheSignOfZero) {
  EXPECT_TRUE(std::signbit(read("-0.0")));
  EXPECT_TRUE(std::signbit(read("-0e5")));
  EXPECT_FALSE(std::signbit(read("0.0")));
}

TEST(ReadNumberTest, NeverReadsPastTheEnd) {
  const std::string text = "1.5e3";
  EXPECT_EQ(read_number(text.data(), text.data() + 1), 1.0);
  EXPECT_EQ(read_number(text.data(), text.data() + 3), 1.5);
  EXPECT_EQ(read_number(text.data(), text.data() + 4), 1.5);
  EXPECT_EQ(read_number(text.data(), text.data()), 0.0);
  // Whole words may be loaded up to the limit, but what lies past the end never counts.
  const std::string padded = "   12.5e3 9999999999";
  const char* limit = padded.data() + padded.size();
  for (size_t end = 0; end <= padded.size(); ++end) {
    const std::string cut = padded.substr(0, end);
    EXPECT_EQ(read_number(padded.data(), padded.data() + end, limit), read(cut)) << end;
  }
}

TEST(ReadNumberTest, ReadsVeryLongNumbers) {
  std::string digits = "0." + std::string(5000, '0') + "1e5010";
  EXPECT_EQ(read(digits), 1e9);
  std::string big = std::string(400, '9');
  EXPECT_EQ(read(big), std::strtod(big.c_str(), nullptr));
}

// Random numbers in every shape must round exactly as the C library does.
TEST(ReadNumberTest, RoundsLikeStrtod) {
  std::mt19937_64 random(12345);
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    if (random() % 2) text += '-';
    const int int_digits = static_cast<int>(random() % 20);
    for (int d = 0; d < int_digits; ++d) text += static_cast<char>('0' + random() % 10);
    if (random() % 2 || int_digits == 0) {
      text += '.';
      const int frac_digits = 1 + static_cast<int>(random() % 20);
      for (int d = 0; d < frac_digits; ++d) text += static_cast<char>('0' + random() % 10);
    }
    if (random() % 3 == 0) {
      text += 'e';
      text += std::to_string(static_cast<int>(random() % 700) - 350);
    }
    const double expected = std::strtod(text.c_str(), nullptr);
    const double actual = read(text);
    ASSERT_EQ(std::memcmp(&expected, &actual, sizeof(double)), 0) << text;
  }
}

}  // namespace
