// A file converted in blocks on several threads gives the same output, the
// same warnings, the same history file and the same exit status as on one
// thread, whatever falls on a block boundary.
#include <stdlib.h>

#include <string>
#include <vector>

#include "front/end_to_end_harness.h"

namespace e2e {
namespace {

// A log that puts every rule that looks across lines to work: malformed and
// blank lines, CR LF, the hour Berlin repeats in autumn (written on across
// it, then a jump back into it), time going backwards, warnings beyond their
// cap, a line over the length limit, and a Ctrl-Z before the end.
std::string tricky_log() {
  std::string out = "\xEF\xBB\xBF";
  for (int i = 0; i < 30; ++i) {
    out += "25/10/2015 02:" + std::string(i < 10 ? "0" : "") + std::to_string(i * 2) +
           ":00\t      1.25\t      -3.5\r\n";
    if (i % 7 == 0) out += "\n  \nnot a line " + std::to_string(i) + "\n";
  }
  for (int i = 0; i < 12; ++i) out += "25/10/2015 02:" + std::to_string(10 + i) + ":00\t1,5\t2\n";
  out += "25/10/2015 03:30:00\t         7\t         8\n";
  out += "25/10/2015 02:30:00\t         9\t        10\n";  // back into the repeated hour
  out += "25/10/2015 01:00:00\t        11\t        12\n";  // backwards
  out += "25/10/2015 04:00:00\t" + std::string(1'048'600, 'x') + "\n";
  out += big_log(3000);
  out +=
      "\x1A"
      "05/03/2015 10:00:00\t1\t2\n";
  return out;
}

TEST_F(TagpressTest, ConvertsAlikeOnEveryThreadCountAndBlockSize) {
  write_file(dir_ / "p.HDR", "2\nA\nB\n");
  write_file(dir_ / "p.txt", tricky_log());
  write_file(dir_ / "d.HDR", "2\nA\nB\n");
  write_file(dir_ / "d.txt", tricky_log());
  write_file(dir_ / "s.HDR", "2\nA\nB\n");
  write_file(dir_ / "m.HDR", "3\nA\nB\nC\n");  // longer records than the files before
  write_file(dir_ / "s.txt", "05/03/2015 10:00:00\t1\t2\nno time\n");
  write_file(dir_ / "m.txt", big_log(5000));
  // Several files in one run: small ones before, between and after those of many blocks.
  const std::vector<std::vector<std::string>> commands = {{"p.txt"},
                                                          {"d.txt", "/e"},
                                                          {"p.txt", "/i:02:20:00", "/f:02:40:00"},
                                                          {"s.txt", "p.txt", "s.txt", "m.txt"}};
  const std::pair<const char*, const char*> settings[] = {
      {"2", "7"}, {"7", "7"}, {"7", "333"}, {"3", "65536"}, {"2", ""}};
  for (const auto& args : commands) {
    setenv("TAGPRESS_THREADS", "1", 1);
    unsetenv("TAGPRESS_BLOCK_BYTES");
    const RunResult one = run(args, "Europe/Berlin");
    const auto histories = [&] {
      std::string all;
      for (const std::string& arg : args) {
        if (arg.ends_with(".txt")) all += read_file(dir_ / (arg.substr(0, 1) + ".HST"));
      }
      return all;
    };
    const std::string history = histories();
    ASSERT_FALSE(one.err.empty());
    for (const auto& [threads, block] : settings) {
      setenv("TAGPRESS_THREADS", threads, 1);
      if (*block != '\0') setenv("TAGPRESS_BLOCK_BYTES", block, 1);
      const RunResult many = run(args, "Europe/Berlin");
      const std::string where = args[0] + " on " + threads + " threads, blocks of " + block;
      EXPECT_EQ(many.status, one.status) << where;
      EXPECT_EQ(many.out, one.out) << where;
      EXPECT_EQ(many.err, one.err) << where;
      EXPECT_EQ(histories(), history) << where;
    }
  }
  unsetenv("TAGPRESS_THREADS");
  unsetenv("TAGPRESS_BLOCK_BYTES");
}

}  // namespace
}  // namespace e2e
