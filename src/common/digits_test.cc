#include "common/digits.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "common/text_scan.h"

namespace {

uint64_t word(const char* text) {
  uint64_t x;
  std::memcpy(&x, text, 8);
  return x;
}

// Random words mixing digits, separators, the bytes that carry (0xFA-0xFF)
// and any other byte, checked byte by byte against the plain definitions.
TEST(DigitsTest, WordTestsAgreeWithByteTests) {
  constexpr char kShape[] = "00/00/00";  // '/' where the separators lie
  constexpr uint64_t kSeparators = uint64_t{'/'} << 16 | uint64_t{'/'} << 40;
  constexpr uint64_t kMask = uint64_t{0xFF} << 16 | uint64_t{0xFF} << 40;
  std::mt19937_64 random(7);
  for (int i = 0; i < 200000; ++i) {
    char text[8];
    for (char& c : text) {
      const uint64_t pick = random() % 8;
      c = static_cast<char>(pick < 4    ? '0' + random() % 10
                            : pick == 4 ? '/'
                            : pick == 5 ? 0xFA + random() % 6
                                        : random() % 256);
    }
    int run = 0;
    while (run < 8 && is_digit(text[run])) ++run;
    bool shaped = true;
    for (int b = 0; b < 8; ++b) shaped &= kShape[b] == '/' ? text[b] == '/' : is_digit(text[b]);
    const uint64_t x = word(text);
    ASSERT_EQ(digits::digit_run(x), run) << std::string(text, 8);
    ASSERT_EQ(digits::non_digit_bytes(x) == 0, run == 8) << std::string(text, 8);
    ASSERT_EQ(digits::matches_shape(x, kSeparators, kMask), shaped) << std::string(text, 8);
  }
}

// Every byte value in every place, among digits.
TEST(DigitsTest, FindsEachNonDigitByte) {
  for (int place = 0; place < 8; ++place) {
    for (int byte = 0; byte < 256; ++byte) {
      char text[9] = "12345678";
      text[place] = static_cast<char>(byte);
      const bool digit = byte >= '0' && byte <= '9';
      EXPECT_EQ(digits::digit_run(word(text)), digit ? 8 : place) << place << " " << byte;
    }
  }
}

TEST(DigitsTest, ConvertsLeadingRuns) {
  const struct {
    const char* text;  // eight bytes
    int run;
    uint64_t value;
  } cases[] = {
      {"12345678", 8, 12345678}, {"1234567.", 7, 1234567}, {"0000001x", 7, 1},
      {"9.999999", 1, 9},        {"42      ", 2, 42},      {"-1234567", 0, 0},
  };
  for (const auto& c : cases) {
    const uint64_t x = word(c.text);
    ASSERT_EQ(digits::digit_run(x), c.run) << c.text;
    const uint64_t top = c.run == 8 ? x - digits::kZeros : digits::top_digits(x, c.run);
    EXPECT_EQ(digits::eight_digits(top), c.value) << c.text;
  }
}

}  // namespace
