#include "common/text_scan.h"

#include <gtest/gtest.h>

#include <string>

TEST(ReadSaturatedIntTest, ReadsLikeAtoiButSaturates) {
  const struct {
    std::string text;
    int32_t expected;
  } cases[] = {
      {"42", 42},
      {"  \t\n+7x", 7},
      {"-15:00", -15},
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"99999999999999999999999", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-99999999999", INT32_MIN},
      {"65537", 65537},
      {"0008", 8},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_saturated_int(c.text.data(), c.text.data() + c.text.size()), c.expected)
        << c.text;
  }
}

TEST(ReadSaturatedIntTest, StopsAtTheEndGiven) {
  const std::string text = "12345";
  EXPECT_EQ(read_saturated_int(text.data(), text.data() + 2), 12);
}
