#include "convert/tag_header.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "convert/text_reader_for_tests.h"

namespace {

struct Result {
  TagHeaderStatus status;
  std::vector<std::string> names;
};

Result read_header(const std::string& content) {
  TextReader text_reader(content, 4096);
  BlockReader& reader = text_reader.reader;
  auto tags = std::make_unique<TagTable>();
  tags->count = 7;  // whatever an earlier run left
  TagHeaderLayout layout;
  Result result{read_tag_header(reader, *tags, layout), {}};
  for (int i = 0; i < tags->count; ++i) result.names.emplace_back(tag_name(*tags, i));
  return result;
}

// `head`, then `count` times `fill`, then `tail`.
std::string padded(const char* head, size_t count, char fill, const char* tail) {
  std::string out = head;
  out.append(count, fill);
  return out.append(tail);
}

TEST(ReadTagHeaderTest, ReadsCountAndNames) {
  const std::string name254(254, 'n');
  const struct {
    std::string content;
    std::vector<std::string> names;
  } cases[] = {
      {"", {}},
      {"0\n", {}},
      {"2\nT1\nT2\n", {"T1", "T2"}},
      {"2\r\nT1 first\r\nT2\r\nignored\n", {"T1", "T2"}},
      {"3\nONLY\n", {"ONLY", "", ""}},
      {"1\nA\tB C\n", {"A\tB"}},  // a tab stays part of the name
      {"1\nA\rB\n", {"A"}},       // a lone CR ends a line
      {"2\r\r\nA\r\r\nB\r\r\n", {"A", "B"}},
      {std::string("2\nA\0\0\0\nB\0C\n", 12), {"A", "B"}},  // NUL-padded; a NUL text follows
      {std::string("1\nAB\0CD\n", 8), {"AB"}},
      {"  +2 tags\nX\nY\n", {"X", "Y"}},
      {"\xEF\xBB\xBF"
       "2\r\nT1\r\nT2\r\n",
       {"T1", "T2"}},  // byte-order mark
      {"1\n" + name254 + " comment\n", {name254}},
      {"1\nT1 " + std::string(20000, 'c') + "\n", {"T1"}},
      {"x\nT1\n", {}},
      {"1\n\x1A"
       "T1\n",
       {""}},
  };
  for (const auto& c : cases) {
    const Result r = read_header(c.content);
    EXPECT_EQ(r.status, TagHeaderStatus::kOk) << c.content;
    EXPECT_EQ(r.names, c.names) << c.content;
  }
}

TEST(ReadTagHeaderTest, RejectsWhatTheHistoryFileCannotHold) {
  std::string many = "250\n";
  for (int i = 0; i < 250; ++i) many += std::string(70, 'a') + "\n";  // 250 * 73 > 16383
  std::string fits = "250\n";
  for (int i = 0; i < 250; ++i) fits += std::string(62, 'a') + "\n";  // 250 * 65 = 16250
  const struct {
    std::string content;
    TagHeaderStatus status;
  } cases[] = {
      {"-1\n", TagHeaderStatus::kInvalidCount},
      {"251\n", TagHeaderStatus::kInvalidCount},
      {"40000\n", TagHeaderStatus::kInvalidCount},       // -25536 in 16 bits
      {"65537\nONE\n", TagHeaderStatus::kInvalidCount},  // 1 in 16 bits
      {"65536\n", TagHeaderStatus::kInvalidCount},       // 0 in 16 bits
      {"99999999999999999999\n", TagHeaderStatus::kInvalidCount},
      // A count line over 1 MiB is too long to read, as a data line would be.
      {padded("1", 1'100'000, '0', "\n"), TagHeaderStatus::kInvalidCount},
      {padded("", 1'100'000, ' ', "+0002\nX\nY\n"), TagHeaderStatus::kInvalidCount},
      {padded("-", 1'100'000, '0', "0\n"), TagHeaderStatus::kInvalidCount},
      {padded("1", 2'000'000, 'x', "\nNAME\n"), TagHeaderStatus::kInvalidCount},
      {"2\n" + std::string(1'100'000, 'x') + "\nY\n", TagHeaderStatus::kNameTooLong},
      {"1\n" + std::string(255, 'n') + "\n", TagHeaderStatus::kNameTooLong},
      {many, TagHeaderStatus::kTagListTooLong},
      {fits, TagHeaderStatus::kOk},
      {"250\n", TagHeaderStatus::kOk},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_header(c.content).status, c.status) << c.content.substr(0, 20);
  }
}

}  // namespace
