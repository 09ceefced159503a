#include "history/history_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/tag_table_for_tests.h"

namespace {

// Fixed header with the given fields, followed by `tag_list`.
std::string header_bytes(int format, int header_length, int record_length, int list_length,
                         int count, const std::string& tag_list) {
  std::string out(kHistoryFixedHeaderSize, '\0');
  const auto put16 = [&out](size_t at, int v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  };
  put16(0, format);
  put16(2, header_length);
  put16(4, record_length);
  put16(6, list_length);
  put16(68, count);
  return out + tag_list;
}

const unsigned char* bytes_of(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Runs both header steps; returns "" when valid, else the fault.
std::string check(const std::string& bytes, HistoryHeader& header) {
  std::string fault;
  if (!parse_fixed_header(bytes_of(bytes), bytes.size(), header, fault)) return fault;
  const size_t list_size = bytes.size() - kHistoryFixedHeaderSize;
  if (!parse_tag_list(bytes_of(bytes) + kHistoryFixedHeaderSize, list_size, header, fault)) {
    return fault;
  }
  return "";
}

TEST(HistoryReaderTest, NamesEveryHeaderFault) {
  const std::string two_tags = "A\t \tB\t \t";  // 8 bytes
  const struct {
    std::string bytes;
    std::string fault;
  } cases[] = {
      {"", "too short for a history file header (0 of 70 bytes)"},
      {"\x03", "too short for a history file header (1 of 70 bytes)"},
      {header_bytes(3, 70, 8, 0, 0, "").substr(0, 69),
       "too short for a history file header (69 of 70 bytes)"},
      {header_bytes(2, 78, 24, 8, 2, two_tags),
       "not a history file (it starts with \"\\x02\\x00N\\x00\\x18\\x00\\x08\\x00\", "
       "format code 2, expected 3)"},
      {header_bytes(0xFFFF, 78, 24, 8, 2, two_tags).substr(0, 2),
       "not a history file (it starts with \"\\xFF\\xFF\", format code -1, expected 3)"},
      {"05/03/2015 10:20:30\t1\n",
       "not a history file (it starts with \"05/03/20\", format code 13616, expected 3)"},
      {"\"a\\b\" ~\x7F",
       "not a history file (it starts with \"\\x22a\\x5Cb\\x22 ~\\x7F\", "
       "format code 24866, expected 3)"},
      {header_bytes(3, 78, 24, 8, -1, two_tags), "tag count -1 out of range (0 to 250)"},
      {header_bytes(3, 78, 24, 8, 251, two_tags), "tag count 251 out of range (0 to 250)"},
      {header_bytes(3, 80, 24, 8, 2, two_tags),
       "header length 80 does not match tag list length 8 (expected 78)"},
      // A tag list so long that no 16-bit header length can announce it.
      {header_bytes(3, 0x8000, 24, 0xFFFF, 2, two_tags),
       "header length -32768 does not match tag list length 65535 (expected 65605)"},
      {header_bytes(3, 78, 20, 8, 2, two_tags),
       "record length 20 does not match 2 tags (expected 24)"},
      {header_bytes(3, 78, 0xFFF8, 8, 2, two_tags),
       "record length -8 does not match 2 tags (expected 24)"},
      {header_bytes(3, 75, 16, 5, 1, "A\t \t"), "file ends inside the tag list (4 of 5 bytes)"},
      {header_bytes(3, 78, 32, 8, 3, two_tags),
       "tag list of 8 bytes does not split into 3 names each ending in TAB SPACE TAB "
       "(2 found, 0 bytes left over)"},
      {header_bytes(3, 78, 16, 8, 1, two_tags),
       "tag list of 8 bytes does not split into 1 name each ending in TAB SPACE TAB "
       "(1 found, 4 bytes left over)"},
      {header_bytes(3, 78, 24, 8, 2, "A\t \tB \t\t"),
       "tag list of 8 bytes does not split into 2 names each ending in TAB SPACE TAB "
       "(1 found, 4 bytes left over)"},
      {header_bytes(3, 77, 24, 7, 2, "A\t \tB\t "),
       "tag list of 7 bytes does not split into 2 names each ending in TAB SPACE TAB "
       "(1 found, 3 bytes left over)"},
      {header_bytes(3, 72, 16, 2, 1, " \t"),
       "tag list of 2 bytes does not split into 1 name each ending in TAB SPACE TAB "
       "(0 found, 2 bytes left over)"},
  };
  for (const auto& c : cases) {
    HistoryHeader header;
    EXPECT_EQ(check(c.bytes, header), c.fault);
    EXPECT_TRUE(header.tag_names.empty());
  }
}

TEST(HistoryReaderTest, ReadsBackEveryHeaderTheWriterMakes) {
  const std::vector<std::vector<std::string>> tag_sets = {
      {},
      {""},
      {"", "", ""},
      {"T1", "", "T3"},
      {"a\tb", "\t", "x\t\t", "\tlead"},
      {"with,comma", "\"quoted\"", "cr\r", "semi;colon"},
      std::vector<std::string>(kMaxTags, std::string(40, 'n')),
  };
  for (const auto& names : tag_sets) {
    const auto tags = tag_table_of(names);
    std::string bytes;
    encode_history_header(*tags, bytes);
    HistoryHeader header;
    ASSERT_EQ(check(bytes, header), "") << names.size();
    EXPECT_EQ(header.format_code, 3);
    EXPECT_EQ(header.tag_count, static_cast<int>(names.size()));
    EXPECT_EQ(header.header_length, static_cast<int>(bytes.size()));
    EXPECT_EQ(header.record_length, 8 + 8 * static_cast<int>(names.size()));
    EXPECT_EQ(header.tag_names, names);
  }
}

TEST(HistoryReaderTest, CountsWholeRecordsAndTrailingBytes) {
  HistoryHeader header;
  header.header_length = 78;
  header.record_length = 24;
  const struct {
    uint64_t file_size, records, trailing;
  } cases[] = {
      {0, 0, 0},
      {78, 0, 0},
      {79, 0, 1},
      {101, 0, 23},
      {102, 1, 0},
      {125, 1, 23},
      {78 + 24 * 5'000'000ULL, 5'000'000, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(whole_record_count(header, c.file_size), c.records) << c.file_size;
    EXPECT_EQ(trailing_byte_count(header, c.file_size), c.trailing) << c.file_size;
  }
  EXPECT_EQ(partial_record_fault(header, 23), "file ends in a partial record (23 of 24 bytes)");
}

TEST(HistoryReaderTest, DecodesRecordsLittleEndian) {
  const double values[2] = {-2.5, 1e300};
  const unsigned char record[24] = {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x81,
                                    0,    0,    0,    0,    0,    0,    0x04, 0xC0,
                                    0x9C, 0x75, 0x00, 0x88, 0x3C, 0xE4, 0x37, 0x7E};
  EXPECT_EQ(record_ticks(record), 0x8102030405060708ULL);
  EXPECT_EQ(record_value(record, 0), values[0]);
  EXPECT_EQ(record_value(record, 1), values[1]);
}

}  // namespace
