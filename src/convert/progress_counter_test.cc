#include "convert/progress_counter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/console.h"

namespace {

// Everything written to the console while `lines` lines are counted.
std::string count_lines(int lines) {
  FILE* file = std::tmpfile();
  console_open(handle_of_descriptor(fileno(file)));
  ProgressCounter counter;
  progress_start(counter, false, false);
  for (int i = 0; i < lines; ++i) progress_next_line(counter);
  progress_finish(counter);
  console_flush();
  std::string out(static_cast<size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  out.resize(std::fread(out.data(), 1, out.size(), file));
  std::fclose(file);
  console_open(standard_output());
  return out;
}

TEST(ProgressCounterTest, WritesEveryPieceWhenRedirected) {
  for (int lines : {0, 1, 9, 10, 99, 100, 1000, 10001}) {
    std::string expected;
    for (int i = 1; i <= lines; ++i) expected += "\r   Line = " + std::to_string(i) + "   ";
    EXPECT_EQ(count_lines(lines), expected) << lines;
  }
}

}  // namespace
