#include "front/environment.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "platform/system_for_tests.h"

namespace {

TEST(EnvironmentTest, ReadsTheThreadCountAndBlockSize) {
  constexpr int kCpus = 2;
  const struct {
    std::optional<std::string> text;
    int threads;
    size_t block_bytes;
  } cases[] = {
      {std::nullopt, kCpus, 0},
      {"", kCpus, 0},
      {"0", kCpus, 0},
      {"1", 1, 1},
      {"256", 256, 256},
      {"257", kCpus, 257},
      {"3x", kCpus, 3},
      {" 4", 4, 4},
      {"+5", 5, 5},
      {"-1", kCpus, 0},
      {"99999999999999999999", kCpus, 0},
      {"67108864", kCpus, 64u << 20},
      {"67108865", kCpus, 0},
  };
  for (const auto& c : cases) {
    const std::string name = c.text ? "'" + *c.text + "'" : "unset";
    EXPECT_EQ(threads_from(c.text, kCpus), c.threads) << name;
    EXPECT_EQ(block_bytes_from(c.text), c.block_bytes) << name;
  }
  // Without a count, every CPU the process may run on, from 1 up to 16.
  for (const auto& [cpus, threads] : {std::pair{0, 1}, {1, 1}, {16, 16}, {17, 16}, {64, 16}}) {
    EXPECT_EQ(threads_from(std::nullopt, cpus), threads) << cpus;
  }
}

TEST(EnvironmentTest, ReadsEachSettingFromItsVariable) {
  const char* const names[] = {"TAGPRESS_THREADS", "TAGPRESS_BLOCK_BYTES", "TZ", "TZDIR"};
  std::optional<std::string> saved[4];
  for (int i = 0; i < 4; ++i) {
    if (const char* value = getenv(names[i])) saved[i] = value;
  }
  setenv("TAGPRESS_THREADS", "3", 1);
  setenv("TAGPRESS_BLOCK_BYTES", "4096", 1);
  setenv("TZ", "Europe/Berlin", 1);
  unsetenv("TZDIR");
  const RunEnvironment environment = read_environment();
  EXPECT_EQ(environment.threads, 3);
  EXPECT_EQ(environment.block_bytes, 4096u);
  EXPECT_EQ(environment.tz, "Europe/Berlin");
  EXPECT_EQ(environment.zone_folder, std::nullopt);
  setenv("TZDIR", "/zones", 1);
  EXPECT_EQ(read_environment().zone_folder, "/zones");
  for (int i = 0; i < 4; ++i) {
    if (saved[i]) {
      setenv(names[i], saved[i]->c_str(), 1);
    } else {
      unsetenv(names[i]);
    }
  }
}

}  // namespace
