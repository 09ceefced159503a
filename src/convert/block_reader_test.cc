#include "convert/block_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "convert/text_reader_for_tests.h"

namespace {

// All lines of `content`, read line by line through blocks filled by reads of
// at most `read_size` bytes.
std::vector<ReadLine> read_all(const std::string& content, size_t read_size) {
  TextReader text_reader(content, read_size);
  return read_every_line(text_reader.reader);
}

TEST(BlockReaderTest, TranslatesLineEndsWhereverReadsEnd) {
  const struct {
    std::string content;
    std::vector<ReadLine> expected;
  } cases[] = {
      {"", {}},
      {"a\nb\n", {{"a", false}, {"b", false}}},
      {"a\nb", {{"a", false}, {"b", false}}},  // last line without a line end
      {"\n\n", {{"", false}, {"", false}}},
      {"a\r\nb\r\n", {{"a", false}, {"b", false}}},
      {"ab\r\ncd\r\nef", {{"ab", false}, {"cd", false}, {"ef", false}}},  // CR|LF split
      {"a\rb\n", {{"a", false}, {"b", false}}},  // a CR that no LF follows ends a line
      {"a\rb\rc", {{"a", false}, {"b", false}, {"c", false}}},
      {"a\r", {{"a", false}}},
      {"a\r\r\n", {{"a", false}}},  // CR CR LF, as a text-mode stream writes CR LF
      {"a\r\rb", {{"a", false}, {"", false}, {"b", false}}},
      {"a\nb\x1A"
       "c\nd\n",
       {{"a", false}, {"b", false}}},  // Ctrl-Z ends the file
      {"a\nbb\ncc\ndd\nee\x1A"
       "c\nd\n",
       {{"a", false}, {"bb", false}, {"cc", false}, {"dd", false}, {"ee", false}}},
      {"\x1A"
       "a\n",
       {}},
      // NUL runs end a line, together with a line end right after them.
      {std::string("a\0b\n", 4), {{"a", false}, {"b", false}}},
      {std::string("a\0\0\0\nb\n", 7), {{"a", false}, {"b", false}}},
      {std::string("a\0\0\r\nb", 6), {{"a", false}, {"b", false}}},
      {std::string("a\0\0\rb", 5), {{"a", false}, {"b", false}}},
      {std::string("a\r\0\nb", 5), {{"a", false}, {"", false}, {"b", false}}},
      {std::string("a\0", 2), {{"a", false}}},
      {std::string("\0\0a\n", 4), {{"", false}, {"a", false}}},
      // UTF-16 of either byte order, taken on as UTF-8.
      {std::string("\xFF\xFE"
                   "a\0\r\0\n\0\xE9\0",
                   10),
       {{"a", false}, {"\xC3\xA9", false}}},
      {std::string("\xFE\xFF"
                   "\0a\0\n\x20\xAC",
                   8),
       {{"a", false}, {"\xE2\x82\xAC", false}}},
      {std::string("\xFF\xFE"
                   "\x3D\xD8\x00\xDE\x00\xDCz",
                   9),
       {{"\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD", false}}},  // a pair, a lone half, an odd byte
      {std::string("\xFF\xFE"
                   "\x1A\x01\n\0\x1A\0b\0",
                   10),
       {{"\xC4\x9A", false}}},  // U+001A ends
      {std::string("\xFF\xFE"
                   "a\0\0\0b\0",
                   8),
       {{"a", false}, {"b", false}}},
      {"\xEF\xBB\xBF"
       "a\nb\n",
       {{"a", false}, {"b", false}}},  // byte-order mark, split over the first reads
      {"\xEF\xBB\xBF", {}},
      {"\xEF\xBB"
       "a\n",
       {{"\xEF\xBB"
         "a",
         false}}},  // not a whole mark: text
      {"a\n\xEF\xBB\xBF"
       "b\n",
       {{"a", false},
        {"\xEF\xBB\xBF"
         "b",
         false}}},  // a mark after the start is text
  };
  for (const auto& c : cases) {
    for (size_t read_size : {1, 2, 3, 5, 4096}) {
      EXPECT_EQ(read_all(c.content, read_size), c.expected) << c.content << " by " << read_size;
    }
  }
}

TEST(BlockReaderTest, CutsOverlongLinesAndGoesOn) {
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
