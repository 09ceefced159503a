#include "common/line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct ReadLine {
  std::string text;
  bool too_long;
  bool operator==(const ReadLine&) const = default;
};

// All lines of `content`, read with reads of at most `read_size` bytes.
std::vector<ReadLine> read_all(const std::string& content, size_t read_size) {
  FILE* file = std::tmpfile();
  std::fwrite(content.data(), 1, content.size(), file);
  std::fflush(file);
  std::rewind(file);
  LineReader reader;
  line_reader_init(reader, fileno(file), read_size);
  std::vector<ReadLine> lines;
  Line line;
  while (next_line(reader, line))
    lines.push_back({std::string(line.data, line.size), line.too_long});
  std::fclose(file);
  return lines;
}

TEST(LineReaderTest, TranslatesLineEnds) {
  const struct {
    std::string content;
    std::vector<ReadLine> expected;
  } cases[] = {
      {"", {}},
      {"a\nb\n", {{"a", false}, {"b", false}}},
      {"a\nb", {{"a", false}, {"b", false}}},  // last line without a line end
      {"\n\n", {{"", false}, {"", false}}},
      {"a\r\nb\r\n", {{"a", false}, {"b", false}}},
      {"a\rb\n", {{"a\rb", false}}},  // a lone CR is an ordinary character
      {"a\r", {{"a\r", false}}},
      {"a\r\r\n", {{"a\r", false}}},
      {"a\nb\x1A"
       "c\nd\n",
       {{"a", false}, {"b", false}}},  // Ctrl-Z ends the file
      {"\x1A"
       "a\n",
       {}},
      {std::string("a\0b\n", 4), {{std::string("a\0b", 3), false}}},
  };
  for (const auto& c : cases) {
    for (size_t read_size : {1, 2, 3, 4096}) {
      EXPECT_EQ(read_all(c.content, read_size), c.expected) << c.content << " by " << read_size;
    }
  }
}

TEST(LineReaderTest, CutsOverlongLinesAndGoesOn) {
  const std::string longest(kMaxLineLength, 'x');
  const std::string overlong(kMaxLineLength + 1, 'y');
  const std::string huge(3 * kMaxLineLength + 5, 'z');
  for (size_t read_size : {size_t{65536}, size_t{1} << 20}) {
    const auto lines = read_all(
        "a\n" + longest + "\r\n" + overlong + "\n" + huge + "\r\nb\n" + overlong, read_size);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], (ReadLine{"a", false}));
    EXPECT_EQ(lines[1], (ReadLine{longest, false}));
    EXPECT_EQ(lines[2], (ReadLine{overlong.substr(0, kMaxLineLength), true}));
    EXPECT_EQ(lines[3], (ReadLine{huge.substr(0, kMaxLineLength), true}));
    EXPECT_EQ(lines[4], (ReadLine{"b", false}));
    EXPECT_EQ(lines[5], (ReadLine{overlong.substr(0, kMaxLineLength), true}));
  }
}

}  // namespace
