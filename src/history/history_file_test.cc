#include "history/history_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/console.h"
#include "common/tag_table_for_tests.h"
#include "platform/child_process_for_tests.h"
#include "platform/system_for_tests.h"

namespace {

std::string hex(const std::string& bytes) {
  std::string out;
  char cell[4];
  for (unsigned char b : bytes) {
    std::snprintf(cell, sizeof cell, "%02X ", b);
    out += cell;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

TEST(EncodeHistoryHeaderTest, LaysOutTheFixedPartAndTagList) {
  const std::string zeros60 = hex(std::string(60, '\0'));
  const struct {
    std::vector<std::string> names;
    std::string expected;
  } cases[] = {
      {{}, "03 00 46 00 08 00 00 00 " + zeros60 + " 00 00"},
      {{"A", "B"}, "03 00 4E 00 18 00 08 00 " + zeros60 + " 02 00 41 09 20 09 42 09 20 09"},
      {{""}, "03 00 49 00 10 00 03 00 " + zeros60 + " 01 00 09 20 09"},
  };
  for (const auto& c : cases) {
    std::string header;
    encode_history_header(*tag_table_of(c.names), header);
    EXPECT_EQ(hex(header), c.expected);
  }
}

TEST(EncodeHistoryHeaderTest, HoldsTheLargestTable) {
  std::vector<std::string> names(250, std::string(62, 'x'));
  std::string header;
  encode_history_header(*tag_table_of(names), header);
  ASSERT_EQ(header.size(), 70u + 250 * 65);
  const auto u16 = [&](size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(header[at]) |
                                 static_cast<unsigned char>(header[at + 1]) << 8);
  };
  EXPECT_EQ(u16(2), 70u + 250 * 65);
  EXPECT_EQ(u16(4), 2008u);
  EXPECT_EQ(u16(6), 250u * 65);
  EXPECT_EQ(u16(68), 250u);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(HistoryWriterTest, WritesHeaderAndRecordsAndReplacesOldFiles) {
  const std::string dir = make_temp_folder("history_test_");
  ASSERT_NE(dir, "");
  const std::string path = dir + "/x.HST";
  std::ofstream(path) << std::string(5000, 'o');  // an older file is replaced, never appended to
  auto tags = tag_table_of({"A", "B"});
  HistoryWriter writer;
  ASSERT_TRUE(create_history_file(path, *tags, writer));
  std::vector<unsigned char> records(100000 * 24);
  for (size_t at = 0; at < records.size(); at += 24) {
    double* const values = record_values(records.data() + at);
    values[0] = 1.25;
    values[1] = -3.5;
    encode_record_time(records.data() + at, 0x01D0572E018EEB00);
  }
  write_records(writer, records.data(), records.size());
  EXPECT_EQ(read_file(path), std::string(5000, 'o'));  // untouched until the commit
  ASSERT_TRUE(commit_history(writer));
  const std::string bytes = read_file(path);
  ASSERT_EQ(bytes.size(), 78u + 100000 * 24);
  EXPECT_EQ(hex(bytes.substr(78, 24)),
            "00 EB 8E 01 2E 57 D0 01 00 00 00 00 00 00 F4 3F 00 00 00 00 00 00 0C C0");
  EXPECT_EQ(bytes.substr(78, 24), bytes.substr(bytes.size() - 24));

  // A discarded run leaves the file as it was, and no temporary file.
  ASSERT_TRUE(create_history_file(path, *tags, writer));
  write_records(writer, records.data(), 24);
  discard_history(writer);
  EXPECT_EQ(read_file(path), bytes);
  std::remove(path.c_str());
  EXPECT_EQ(rmdir(dir.c_str()), 0);  // empty
}

// Runs `body` with the console captured; what it printed.
template <typename Body>
std::string console_of(Body body) {
  FILE* out = std::tmpfile();
  console_open(handle_of_descriptor(fileno(out)));
  body();
  console_flush();
  console_open(standard_output());
  std::string printed(256, '\0');
  std::rewind(out);
  printed.resize(std::fread(printed.data(), 1, printed.size(), out));
  std::fclose(out);
  return printed;
}

TEST(HistoryWriterTest, RefusesWhatCannotBeReplaced) {
  SKIP_ON_WINDOWS("no /dev/full, and symbolic links need a privilege there");
#if !TAGPRESS_TESTS_ON_WINDOWS
  char dir[] = "/tmp/history_test_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string folder = dir;
  ASSERT_EQ(mkdir((folder + "/d.HST").c_str(), 0755), 0);
  ASSERT_EQ(symlink("/dev/full", (folder + "/full.HST").c_str()), 0);
  ASSERT_EQ(symlink("loop.HST", (folder + "/loop.HST").c_str()), 0);
  auto tags = tag_table_of({"A"});
  for (const std::string name : {"d.HST", "full.HST", "loop.HST", "missing/x.HST"}) {
    HistoryWriter writer;
    const std::string path = folder + "/" + name;
    bool ok = true;
    // The caller tells of the failure; the writer prints nothing.
    EXPECT_EQ(console_of([&] { ok = create_history_file(path, *tags, writer); }), "");
    EXPECT_FALSE(ok) << name;
    EXPECT_EQ(writer.fault, HistoryFault::kCreate) << name;
  }
  std::remove((folder + "/full.HST").c_str());
  std::remove((folder + "/loop.HST").c_str());
  rmdir((folder + "/d.HST").c_str());
  EXPECT_EQ(rmdir(dir), 0);  // no temporary file left
#endif
}

}  // namespace
