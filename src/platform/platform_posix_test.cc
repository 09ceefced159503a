#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "front/end_to_end_harness.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;
using e2e::read_file;
using e2e::write_file;

// Works in a fresh temporary folder `dir_`.
class PlatformTest : public e2e::TempFolderTest {
 protected:
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Names in the folder (or its subfolder `sub`), sorted.
  std::vector<std::string> names(const std::string& sub = "") const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir_ / sub)) {
      found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
  }
};

mode_t mode_of(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Writes "new" in place of `name`; what begin_replacement and commit_replacement said.
ReplaceResult replace(const std::string& path) {
  Replacement replacement;
  const ReplaceResult begun = begin_replacement(path, replacement);
  if (begun.failed != ReplaceStep::kNone) return begun;
  EXPECT_EQ(write_all(replacement.file, "new", 3).error, 0);
  return commit_replacement(replacement);
}

TEST_F(PlatformTest, ReplacesOnlyWhatCouldBeWrittenInPlace) {
  write_file(path("old.HST"), "old");
  chmod(path("old.HST").c_str(), 0604);
  fs::create_directory(dir_ / "d.HST");
  fs::create_directory(dir_ / "real");
  write_file(path("real/target.HST"), "old");
  chmod(path("real/target.HST").c_str(), 0600);
  fs::create_symlink("real/target.HST", dir_ / "link.HST");
  fs::create_symlink("loop.HST", dir_ / "loop.HST");
  fs::create_symlink("/dev/null", dir_ / "device.HST");
  write_file(path("read-only.HST"), "old");
  chmod(path("read-only.HST").c_str(), 0444);
  const std::string long_name(255 - 4, 'n');
  const mode_t umask_was = umask(027);
  const struct {
    std::string name;
    ReplaceStep failed;
    int error;
    std::string replaced;  // the file that must now hold "new"
    mode_t mode;
  } cases[] = {
      {"new.HST", ReplaceStep::kNone, 0, "new.HST", 0640},
      {"old.HST", ReplaceStep::kNone, 0, "old.HST", 0604},
      {"link.HST", ReplaceStep::kNone, 0, "real/target.HST", 0600},
      {long_name + ".HST", ReplaceStep::kNone, 0, long_name + ".HST", 0640},
      {"d.HST", ReplaceStep::kNotRegular, EISDIR, "", 0},
      {"device.HST", ReplaceStep::kNotRegular, 0, "", 0},
      {"loop.HST", ReplaceStep::kLinks, ELOOP, "", 0},
      {"missing/x.HST", ReplaceStep::kCreate, ENOENT, "", 0},
      // Root may write a read-only file, so it is not refused then.
      {"read-only.HST", geteuid() == 0 ? ReplaceStep::kNone : ReplaceStep::kNotWritable,
       geteuid() == 0 ? 0 : EACCES, geteuid() == 0 ? "read-only.HST" : "", 0444},
  };
  for (const auto& c : cases) {
    const ReplaceResult result = replace(path(c.name));
    EXPECT_EQ(result.failed, c.failed) << c.name;
    EXPECT_EQ(result.error, c.error) << c.name;
    if (!c.replaced.empty()) {
      EXPECT_EQ(read_file(path(c.replaced)), "new") << c.name;
      EXPECT_EQ(mode_of(path(c.replaced)), c.mode) << c.name;
    }
  }
  umask(umask_was);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.HST"));
  if (geteuid() != 0) {
    EXPECT_EQ(read_file(path("read-only.HST")), "old");
  }
  // No temporary file is left beside any of them.
  const std::vector<std::string> expected = {"d.HST",    "device.HST",    "link.HST",
                                             "loop.HST", "new.HST",       long_name + ".HST",
                                             "old.HST",  "read-only.HST", "real"};
  EXPECT_EQ(names(), expected);
  EXPECT_EQ(names("real"), std::vector<std::string>{"target.HST"});
}

TEST_F(PlatformTest, DiscardLeavesTheTargetAsItWas) {
  write_file(path("old.HST"), "old");
  for (const std::string name : {"old.HST", "new.HST"}) {
    Replacement replacement;
    ASSERT_EQ(begin_replacement(path(name), replacement).failed, ReplaceStep::kNone);
    EXPECT_EQ(names().size(), 2u);  // the temporary file beside old.HST
    EXPECT_EQ(write_all(replacement.file, "new", 3).error, 0);
    discard_replacement(replacement);
    discard_replacement(replacement);  // harmless once nothing is open
  }
  EXPECT_EQ(names(), std::vector<std::string>{"old.HST"});
  EXPECT_EQ(read_file(path("old.HST")), "old");
}

TEST_F(PlatformTest, OpensRegularFilesOnlyAndTellsThemApart) {
  write_file(path("a.txt"), "0123456789");
  fs::create_hard_link(dir_ / "a.txt", dir_ / "hard.txt");
  fs::create_symlink("a.txt", dir_ / "soft.txt");
  write_file(path("b.txt"), "");
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);  // no writer: must not wait for one
  const struct {
    std::string path;
    OpenFault fault;
    int error;
  } cases[] = {
      {path("a.txt"), OpenFault::kNone, 0},      {path("b.txt"), OpenFault::kNone, 0},
      {dir_.string(), OpenFault::kDirectory, 0}, {path("pipe"), OpenFault::kNotRegular, 0},
      {"/dev/null", OpenFault::kNotRegular, 0},  {path("gone"), OpenFault::kOpen, ENOENT},
  };
  for (const auto& c : cases) {
    OpenedFile opened = open_for_reading(c.path);
    EXPECT_EQ(opened.fault, c.fault) << c.path;
    EXPECT_EQ(opened.error, c.error) << c.path;
    EXPECT_EQ(is_open(opened.file), c.fault == OpenFault::kNone) << c.path;
    close_file(opened.file);
  }

  OpenedFile a = open_for_reading(path("a.txt"));
  EXPECT_EQ(a.size, 10u);
  FileIdentity identity;
  for (const std::string name : {"a.txt", "hard.txt", "soft.txt"}) {
    ASSERT_EQ(identity_of(path(name), identity).error, 0) << name;
    EXPECT_EQ(identity, a.identity) << name;
  }
  ASSERT_EQ(identity_of(path("b.txt"), identity).error, 0);
  EXPECT_NE(identity, a.identity);
  EXPECT_EQ(identity_of(path("gone"), identity).error, ENOENT);

  // Reads at an offset stop short only at the end, and leave the position alone.
  char bytes[8] = {};
  SizeResult got = read_at(a.file, bytes, 4, 6);
  EXPECT_EQ(got.bytes, 4u);
  EXPECT_EQ(std::string(bytes, 4), "6789");
  got = read_at(a.file, bytes, 8, 7);
  EXPECT_EQ(got.bytes, 3u);
  got = read_some(a.file, bytes, 8);
  EXPECT_EQ(std::string(bytes, got.bytes), "01234567");
  EXPECT_EQ(read_some(a.file, bytes, 8).bytes, 2u);
  EXPECT_EQ(read_some(a.file, bytes, 8).bytes, 0u);  // the end
  EXPECT_EQ(close_file(a.file).error, 0);
  EXPECT_FALSE(is_open(a.file));
}

TEST_F(PlatformTest, ExpandsPatternsInByteOrder) {
  for (const std::string name : {"b.txt", "B.txt", "a.txt", "a.HDR"}) write_file(path(name), "");
  const std::string prefix = dir_.string() + "/";
  EXPECT_EQ(expand_file_pattern(prefix + "*.txt"),
            (std::vector<std::string>{prefix + "B.txt", prefix + "a.txt", prefix + "b.txt"}));
  EXPECT_EQ(expand_file_pattern(prefix + "?.HDR"), std::vector<std::string>{prefix + "a.HDR"});
  EXPECT_EQ(expand_file_pattern(prefix + "*.csv"), std::vector<std::string>{});
}

}  // namespace
