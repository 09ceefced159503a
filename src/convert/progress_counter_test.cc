#include "convert/progress_counter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/console.h"

namespace {

// Everything written to the console while `lines` lines are counted, given
// `batch` at a time.
std::string count_lines(int lines, int batch) {
  FILE* file = std::tmpfile();
  console_open(handle_of_descriptor(fileno(file)));
  ProgressCounter counter;
  progress_start(counter, false, false);
  for (int i = 0; i < lines; i += batch) progress_add_lines(counter, std::min(batch, lines - i));
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
  // 10001 lines make 3.1 console buffers; the batches end on either side of their edges.
  for (int lines : {0, 1, 9, 10, 99, 100, 1000, 10001}) {
    std::string expected;
    for (int i = 1; i <= lines; ++i) expected += "\r   Line = " + std::to_string(i) + "   ";
    for (int batch : {1, 7, 256, 257, 5000}) {
      EXPECT_EQ(count_lines(lines, batch), expected) << lines << " lines, " << batch << " a time";
    }
  }
}

}  // namespace
