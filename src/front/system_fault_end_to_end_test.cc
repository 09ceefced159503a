// Fails each call to the operating system that a conversion makes, one at a
// time, through a preloaded library: after every run the history file is the
// old one or the complete new one, no temporary file is left, exit status 0
// comes only with the new file, and a failure says so on standard output.
#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "front/end_to_end_harness.h"

namespace e2e {
namespace {

std::vector<std::string> leftover_temporary_files(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".s.HST.")) found.push_back(name);
  }
  return found;
}

TEST_F(TagpressTest, EveryFailingSystemCallEndsSoundly) {
  if (kSanitizedBuild || std::getenv("TAGPRESS_TEST_WRAPPER") != nullptr) {
    GTEST_SKIP() << "a preloaded library does not mix with sanitizers or valgrind";
  }
  write_file(dir_ / "s.HDR", "2\nA\nB\n");
  write_file(dir_ / "s.txt", big_log(2000));
  setenv("TAGPRESS_THREADS", "3", 1);
  setenv("TAGPRESS_BLOCK_BYTES", "4096", 1);
  ASSERT_EQ(run({"s.txt"}).status, 0);
  const std::string fresh = read_file(dir_ / "s.HST");
  const std::string old = "an older history file";

  setenv("LD_PRELOAD", TAGPRESS_FAULT_SHIM, 1);
  const fs::path counts_path = dir_ / "counts";
  setenv("TAGPRESS_FAIL_COUNTS", counts_path.c_str(), 1);
  write_file(dir_ / "s.HST", old);
  ASSERT_EQ(run({"s.txt"}).status, 0);
  unsetenv("TAGPRESS_FAIL_COUNTS");
  std::map<std::string, long> counts;
  std::ifstream in(counts_path);
  for (std::string name; in >> name;) in >> counts[name];
  ASSERT_GE(counts["pthread_create"], 2);
  ASSERT_GE(counts["write"], 2);
  ASSERT_EQ(counts["fdatasync"], 1);

  const std::map<std::string, int> errors = {
      {"open", EACCES},   {"read", EIO},        {"write", ENOSPC},       {"close", EIO},
      {"rename", EACCES}, {"mkostemp", EACCES}, {"fstat", EIO},          {"pthread_create", EAGAIN},
      {"fdatasync", EIO}, {"fsync", EIO},       {"sync_file_range", EIO}};
  int runs = 0;
  for (const auto& [name, error] : errors) {
    for (long n = 1; n <= counts[name]; ++n, ++runs) {
      const std::string fault = name + ":" + std::to_string(n) + ":" + std::to_string(error);
      setenv("TAGPRESS_FAIL", fault.c_str(), 1);
      write_file(dir_ / "s.HST", old);
      const RunResult r = run({"s.txt"});
      const std::string history = read_file(dir_ / "s.HST");
      EXPECT_TRUE(r.status == 0 || r.status == 1) << fault << " gave " << r.status;
      if (r.status == 0) {
        EXPECT_EQ(history, fresh) << fault;
      } else {
        EXPECT_EQ(history, old) << fault;
        EXPECT_NE(r.out.find("    Could not "), std::string::npos) << fault << ": " << r.out;
      }
      if (name == "pthread_create") {
        EXPECT_EQ(r.status, 0) << fault;  // fewer threads
      }
      for (const std::string& name : leftover_temporary_files(dir_)) {
        ADD_FAILURE() << fault << " left " << name;
        fs::remove(dir_ / name);
      }
    }
  }
  unsetenv("TAGPRESS_FAIL");
  unsetenv("LD_PRELOAD");
  unsetenv("TAGPRESS_THREADS");
  unsetenv("TAGPRESS_BLOCK_BYTES");
  RecordProperty("runs", runs);
}

// The new file's data are written, started on their way to the disk every few MiB, flushed,
// renamed over the history file, and the folder flushed after, in that order, whether a history
// file was there before or not; a failed write-back hint changes nothing.
TEST_F(TagpressTest, ReplacesTheHistoryFileDurably) {
  if (kSanitizedBuild || std::getenv("TAGPRESS_TEST_WRAPPER") != nullptr) {
    GTEST_SKIP() << "a preloaded library does not mix with sanitizers or valgrind";
  }
  write_file(dir_ / "s.HDR", "2\nA\nB\n");
  write_file(dir_ / "s.txt", big_log(400'000));  // 9.6 MB of records
  const std::vector<std::string> expected = {"write",     "sync_file_range", "write",
                                             "fdatasync", "rename",          "fsync"};
  const struct {
    const char* name;
    bool older;        // a history file is there before the run
    const char* fail;  // TAGPRESS_FAIL, or empty
  } cases[] = {{"over an older file", true, ""},
               {"a new file", false, ""},
               {"a failed write-back hint", true, "sync_file_range:1:5"}};
  setenv("LD_PRELOAD", TAGPRESS_FAULT_SHIM, 1);
  std::string complete;
  for (const auto& c : cases) {
    fs::remove(dir_ / "s.HST");
    if (c.older) write_file(dir_ / "s.HST", "older");
    const fs::path trace_path = dir_ / "trace";
    fs::remove(trace_path);
    setenv("TAGPRESS_TRACE", trace_path.c_str(), 1);
    setenv("TAGPRESS_FAIL", c.fail, 1);
    EXPECT_EQ(run({"s.txt"}).status, 0) << c.name;
    // The calls that move the file's data, each run of one name told once.
    std::vector<std::string> calls;
    std::ifstream in(trace_path);
    for (std::string name; in >> name;) {
      if (std::find(expected.begin(), expected.end(), name) == expected.end()) continue;
      if (calls.empty() || calls.back() != name) calls.push_back(name);
    }
    EXPECT_EQ(calls, expected) << c.name;
    if (complete.empty()) complete = read_file(dir_ / "s.HST");
    EXPECT_EQ(read_file(dir_ / "s.HST"), complete) << c.name;
  }
  unsetenv("TAGPRESS_TRACE");
  unsetenv("TAGPRESS_FAIL");
  unsetenv("LD_PRELOAD");
}

}  // namespace
}  // namespace e2e
