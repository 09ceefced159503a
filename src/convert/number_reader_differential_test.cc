// read_general_number against the reader it grew out of, which rebuilt each
// number it could not round by one exact operation as text for strtod; the
// current one hands the number's own text to std::from_chars. Both must give
// the same bits and stop at the same character for every text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_scan.h"
#include "convert/number_reader.h"

namespace {

struct Reading {
  double value;
  size_t stop;  // characters taken
};

// The previous reader's answer: the number's extent by the value grammar, then
// strtod of its text with the sign, the digits and 'e' for the exponent
// letter. (Its one exact operation, where digits and power allowed it, gave
// the same bits, so strtod stands in for it here.)
Reading previous_reading(std::string_view text) {
  const auto digits_end = [&](size_t i) {
    while (i < text.size() && is_digit(text[i])) ++i;
    return i;
  };
  size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  std::string rebuilt;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') rebuilt += '-';
    ++i;
  }
  const size_t whole_end = digits_end(i);
  size_t end = whole_end;
  if (end < text.size() && text[end] == '.') end = digits_end(end + 1);
  if (end - i - (end > whole_end) == 0) return {0.0, 0};  // no digit beside the '.'
  rebuilt += text.substr(i, end - i);
  if (end < text.size() && std::string_view("eEdD").find(text[end]) != std::string_view::npos) {
    size_t digits = end + 1;
    if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) ++digits;
    if (digits_end(digits) > digits) {
      rebuilt += 'e';
      rebuilt += text.substr(end + 1, digits_end(digits) - end - 1);
      end = digits_end(digits);
    }
  }
  return {std::strtod(rebuilt.c_str(), nullptr), end};
}

// Same bits and same stop for [text, text + size).
::testing::AssertionResult reads_alike(const std::string& text, size_t size) {
  const char* const begin = text.data();
  const char* stop = nullptr;
  const double value = read_general_number(begin, begin + size, stop);
  const Reading expected = previous_reading(std::string_view(text).substr(0, size));
  if (std::memcmp(&value, &expected.value, sizeof value) == 0 && stop == begin + expected.stop) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "\"" << text.substr(0, std::min<size_t>(size, 120)) << (size > 120 ? "...\"" : "\"")
         << " (" << size << " characters): " << value << " stopping at " << stop - begin
         << ", previously " << expected.value << " stopping at " << expected.stop;
}

::testing::AssertionResult reads_alike(const std::string& text) {
  return reads_alike(text, text.size());
}

// The grammar's corners, ties and near-ties, the ends of binary64's range
// (from both sides of 1: many zeros before a digit move a number as far as
// its exponent does), and 'd' exponents on numbers longer than any buffer.
TEST(GeneralNumberDifferentialTest, ReadsTrickyTextsAsBefore) {
  // Half the smallest subnormal, exactly.
  const char* const kHalfOfSmallest =
      "2.47032822920623272088284396434110686182529901307162382212792841250337753635104375932649"
      "91818e-324";
  const char* const kShort[] = {"",
                                " ",
                                "+",
                                "-",
                                ".",
                                "+.",
                                "-.e5",
                                ".e5",
                                "e5",
                                "d5",
                                "inf",
                                "-inf",
                                "nan",
                                "+nan",
                                "0x1p3",
                                "+-5",
                                "--5",
                                " \t\v\f\r\n+5",
                                "5.",
                                ".5",
                                "-.5",
                                "5.e3",
                                "5.d3",
                                ".5d-3",
                                "5d",
                                "5d+",
                                "5d-",
                                "5D+x",
                                "5e+-3",
                                "1e",
                                "1E5",
                                "1D5",
                                "1ed5",
                                "1d5e3",
                                "1e5d3",
                                "1.5,2",
                                "0",
                                "-0",
                                "-0e5",
                                "-0d-999",
                                "00000000000000000000.000e5",
                                "9007199254740993",
                                "9007199254740995",
                                "9007199254740993.0000000000000000001",
                                "9007199254740992.9999999999999999999",
                                "123456789012345678901234567890",
                                "1234567890123456789e-30",
                                "3.14159265358979323846264338327950288",
                                "0.1e1",
                                "100000000000000000000000e-23",
                                "123.456e-2",
                                "123.456d+2",
                                "  -12345678.12345678",
                                "2.2250738585072011e-308",
                                "2.2250738585072012e-308",
                                "2.2250738585072014e-308",
                                "4.9406564584124654e-324",
                                "2.4703282292062327e-324",
                                "2.4703282292062328e-324",
                                kHalfOfSmallest,
                                "1.7976931348623157e308",
                                "1.7976931348623158e308",
                                "1.7976931348623159e308",
                                "1.7976931348623157e+308x",
                                "179769313486231580793728971405301e276",
                                "179769313486231580793728971405300e276",
                                "1e308",
                                "1e309",
                                "1d309",
                                "-1e400",
                                "1e-400",
                                "-1D-400",
                                "1e-323",
                                "1e-324",
                                "1e99999999999999999999",
                                "1e-99999999999999999999",
                                "0e99999999999999999999"};
  const std::string zeros(400, '0');
  const std::string halfway = "9007199254740993" + std::string(1000, '0');
  const std::string kLong[] = {halfway,
                               halfway + "1",
                               halfway + "d0",
                               "0." + zeros + "1e400",
                               "0." + zeros + "1e-10",
                               "0." + zeros + "1e10",
                               "1" + zeros + "e-50",
                               "1" + zeros + "e-400",
                               "1" + zeros + "e-800",
                               "1" + zeros + "d-80",
                               "1." + zeros + "1d-5",
                               "0." + zeros + zeros + "1d700",
                               "." + zeros + "5e+90",
                               "1" + zeros + zeros + "e-700",
                               "1" + zeros + "e-100"};
  std::vector<std::string> cases(std::begin(kShort), std::end(kShort));
  cases.insert(cases.end(), std::begin(kLong), std::end(kLong));
  cases.emplace_back("12\0 34", 6);
  for (const std::string& text : cases) {
    EXPECT_TRUE(reads_alike(text));
    for (size_t size = 0; size < text.size() && size < 40; ++size) {
      EXPECT_TRUE(reads_alike(text, size));  // every shorter end as well
    }
  }
}

std::string random_digits(std::mt19937_64& random, size_t count) {
  std::string out;
  const bool zero_heavy = random() % 4 == 0;
  for (size_t i = 0; i < count; ++i) {
    out += zero_heavy && random() % 3 != 0 ? '0' : static_cast<char>('0' + random() % 10);
  }
  return out;
}

// Digit counts mostly short, now and then far past what exact arithmetic holds.
size_t random_count(std::mt19937_64& random) {
  const uint64_t pick = random() % 16;
  return pick < 12 ? random() % 24 : pick < 15 ? random() % 60 : random() % 500;
}

// Texts of every shape: blanks, signs, digit runs of any length, '.', exponent
// letters with and without digits, far exponents, and what may follow.
TEST(GeneralNumberDifferentialTest, ReadsRandomTextsAsBefore) {
  static constexpr const char* kBlanks[] = {"", "", " ", "\t", "   ", " \r\n"};
  static constexpr const char* kSigns[] = {"", "", "+", "-"};
  static constexpr char kLetters[] = {'e', 'E', 'd', 'D'};
  static constexpr const char* kTails[] = {"", "", " 7", "\t1.5", "x", "e", "d+", ".", ",9"};
  std::mt19937_64 random(20240611);
  for (int i = 0; i < 400000; ++i) {
    std::string text = kBlanks[random() % 6];
    text += kSigns[random() % 4];
    text += random_digits(random, random_count(random));
    if (random() % 3 != 0) text += '.' + random_digits(random, random_count(random));
    if (random() % 2 == 0) {
      text += kLetters[random() % 4];
      text += kSigns[random() % 4];
      const uint64_t pick = random() % 8;
      if (pick == 0) {
        text += random_digits(random, 1 + random() % 25);  // far beyond any range
      } else if (pick != 1) {                              // 1: a letter without digits
        text += std::to_string(random() % (pick < 5 ? 30 : 360));
      }
    }
    text += kTails[random() % 9];
    ASSERT_TRUE(reads_alike(text));
    ASSERT_TRUE(reads_alike(text, random() % (text.size() + 1)));
  }
}

// The digits and decimal exponent of `value` written exactly, "d.ddd" as
// digits "dddd" with the exponent of the first digit.
void exact_decimal(long double value, std::string& digits, int& exponent) {
  char text[900];
  std::snprintf(text, sizeof text, "%.800Le", value);
  const char* const e = std::strchr(text, 'e');
  exponent = std::atoi(e + 1);
  digits.assign(1, text[0]);
  digits.append(text + 2, static_cast<size_t>(e - (text + 2)));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

// Numbers halfway between two neighbouring doubles, exactly, a little above
// and a little below (cut short), over the whole range from the subnormals to
// the largest finite double, with the decimal point anywhere and either
// exponent letter.
TEST(GeneralNumberDifferentialTest, RoundsHalfwayCasesAsBefore) {
  std::mt19937_64 random(16011970);
  for (int i = 0; i < 30000; ++i) {
    double low;
    uint64_t bits = random() >> 1;                                   // positive
    if (random() % 8 == 0) bits &= 0x000FFFFFFFFFFFFF;               // subnormal
    if (random() % 8 == 0) bits |= uint64_t{0x7FE} << 52;            // near the largest
    if (random() % 8 == 0) bits &= ~uint64_t{0} << (random() % 53);  // short mantissa
    std::memcpy(&low, &bits, sizeof low);
    if (!std::isfinite(low)) continue;
    // Above the largest double the step is the one below it: that halfway point
    // is where numbers start to read infinity.
    const double high = std::nextafter(low, INFINITY);
    const long double step = std::isfinite(high)
                                 ? static_cast<long double>(high) - low
                                 : static_cast<long double>(low) - std::nextafter(low, 0.0);
    const long double halfway = low + step / 2;  // exact in the 64-bit mantissa
    std::string digits;
    int exponent;
    exact_decimal(halfway, digits, exponent);
    const std::string variants[] = {digits, digits + "000001",
                                    digits.substr(0, std::max<size_t>(1, digits.size() - 1))};
    for (const std::string& variant : variants) {
      const size_t whole = random() % (variant.size() + 1);  // digits before the point
      std::string text = random() % 2 ? "-" : "";
      text.append(variant, 0, whole);
      text += '.';
      text.append(variant, whole);
      text += random() % 2 ? 'e' : 'd';
      text += std::to_string(exponent - static_cast<int>(whole) + 1);
      ASSERT_TRUE(reads_alike(text));
    }
  }
}

}  // namespace
