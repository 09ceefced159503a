// Runs the built tagpress in a temporary folder on real files and checks its
// standard output, exit status and the history file's bytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kBanner =
    "\nASCII File to History File Converter\ntagpress " TAGPRESS_VERSION
    " - converts measurement logs into history files\n";
const std::string kUsage =
    "\n\tUsage:\ttagpress <filename> [<separator>] [/e] [/i:HH:MM:SS] [/f:HH:MM:SS]\n"
    "\t\t<filename> = ASCII file with history data, e.g. 02950201.txt\n"
    "\t\t[<separator>] = Data separator character, defautt: \\t <TAB>\n"
    "\t\t[/e] = Extended functionality. Data value with more than 10 characteres\n"
    "\t\t[/i:HH:MM:SS] = Start time of data value. HH - hour, MM - minute, SS-Second\n"
    "\t\t[/f:HH:MM:SS] = Finsh time of data value. HH - hour, MM - minute, SS-Second\n";

struct RunResult {
  int status;
  std::string out;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string counter(int lines) {
  std::string out;
  for (int i = 1; i <= lines; ++i) out += "\r   Line = " + std::to_string(i) + "   ";
  return out;
}

// Little-endian 64-bit number at `offset`.
uint64_t u64(const std::string& bytes, size_t offset) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[offset + i]);
  return v;
}

double f64(const std::string& bytes, size_t offset) {
  const uint64_t bits = u64(bytes, offset);
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}

// Ticks of a UTC date and time.
uint64_t ticks(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
  year -= month <= 2;
  const int64_t era = year / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
  return static_cast<uint64_t>((days * 86400 + hour * 3600 + minute * 60 + second + 11644473600) *
                                   10000000 +
                               ms * 10000);
}

class TagpressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tagpress_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs tagpress with `args` in the test folder under time zone `tz`.
  RunResult run(const std::vector<std::string>& args, const std::string& tz = "UTC") {
    const fs::path out_path = dir_ / ".stdout";
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(120);
      const int fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
      setenv("TZ", tz.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(TAGPRESS_BINARY)};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(TAGPRESS_BINARY, argv.data());
      _exit(121);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status),
               read_file(out_path)};
    fs::remove(out_path);
    return result;
  }

  fs::path dir_;
};

TEST_F(TagpressTest, ConvertsALogPieceByPiece) {
  write_file(dir_ / "log.HDR", "2\nT1 first\nT2\n");
  write_file(dir_ / "log.txt",
             "05/03/2015 10:20:30\t      1.25\t      -3.5\n"
             "05/03/2015 10:20:31.250\t         2\t      1d-1\n");
  const RunResult r = run({"log.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kBanner + "\n* Creating file log.HST\n   Tag = T1 \n   Tag = T2 \n" +
                       counter(2) + "\n\n");
  const std::string hst = read_file(dir_ / "log.HST");
  ASSERT_EQ(hst.size(), 80u + 2 * 24);
  EXPECT_EQ(u64(hst, 80), ticks(2015, 3, 5, 10, 20, 30));
  EXPECT_EQ(f64(hst, 80 + 16), -3.5);
  EXPECT_EQ(u64(hst, 80 + 24), ticks(2015, 3, 5, 10, 20, 31, 250));
  EXPECT_EQ(f64(hst, 80 + 32), 2.0);
  EXPECT_EQ(f64(hst, 80 + 40), 0.1);
}

TEST_F(TagpressTest, WritesTheReferenceFileByteForByte) {
  write_file(dir_ / "ab.HDR", "2\nA\nB\n");
  write_file(dir_ / "ab.txt", "05/03/2015 10:20:30.000\t      1.25\t      -3.5\n");
  EXPECT_EQ(run({"ab.txt"}).status, 0);
  std::string expected = std::string("\x03\x00\x4E\x00\x18\x00\x08\x00", 8) +
                         std::string(60, '\0') + std::string("\x02\x00", 2) +
                         "A\t \tB\t \t" +
                         std::string("\x00\xEB\x8E\x01\x2E\x57\xD0\x01", 8) +
                         std::string("\x00\x00\x00\x00\x00\x00\xF4\x3F", 8) +
                         std::string("\x00\x00\x00\x00\x00\x00\x0C\xC0", 8);
  EXPECT_EQ(read_file(dir_ / "ab.HST"), expected);
}

TEST_F(TagpressTest, AnswersTheCommandLine) {
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
  } cases[] = {
      {{}, 255, kBanner + kUsage},
      {{"data.txt", "/x"}, 255, kBanner + kUsage},
      {{"data.txt", "/i:08:00"}, 255, kBanner + kUsage},
      {{"data.txt", ""}, 255, kBanner + kUsage},
      {{"data.txt", ";", "/e", "/i:1:2:3", "/f:4:5:6", "/e"}, 255, kBanner + kUsage},
      {{"--help"}, 0, kBanner + kUsage},
      {{"-h"}, 0, kBanner + kUsage},
      {{"--version"}, 0, "tagpress " TAGPRESS_VERSION "\n"},
      {{"missing.txt"}, 1, kBanner + "Cannot found file missing.txt !\n\n"},
      {{"/e", "data.txt"}, 1, kBanner + "Cannot found file /e !\n\n"},
      {{"nothing*.txt"}, 1, kBanner + "Cannot found file nothing*.txt !\n\n"},
  };
  for (const auto& c : cases) {
    const RunResult r = run(c.args);
    EXPECT_EQ(r.status, c.status) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_EQ(r.out, c.out) << (c.args.empty() ? "" : c.args[0]);
  }
}

TEST_F(TagpressTest, ReportsEveryFailureAndKeepsOldHistoryFiles) {
  fs::create_directories(dir_ / "dir.old");
  fs::create_directories(dir_ / "folder.txt");
  write_file(dir_ / "dir.old" / "data", "x\n");
  write_file(dir_ / "plain", "x\n");
  write_file(dir_ / "old.HST", "precious");
  write_file(dir_ / "old.hSt", "precious too");
  write_file(dir_ / "old.HDR", "1\nT\n");
  write_file(dir_ / "folder.HDR", "1\nT\n");
  write_file(dir_ / "folder.HST", "precious");
  write_file(dir_ / "count.HDR", "251\n");
  write_file(dir_ / "count.txt", "05/03/2015 10:20:30 1\n");
  write_file(dir_ / "count.HST", "precious");
  write_file(dir_ / "name.HDR", "1\n" + std::string(255, 'n') + "\n");
  write_file(dir_ / "name.txt", "");
  std::string long_list = "250\n";
  for (int i = 0; i < 250; ++i) long_list += std::string(100, 't') + "\n";
  write_file(dir_ / "list.HDR", long_list);
  write_file(dir_ / "list.txt", "");
  write_file(dir_ / "nohdr.txt", "");
  fs::create_directories(dir_ / "hdrdir.HDR");
  write_file(dir_ / "hdrdir.txt", "");
  write_file(dir_ / "unread.HDR", "0\n");
  write_file(dir_ / "unread.txt", "");
  chmod((dir_ / "unread.txt").c_str(), 0);
  const bool root = access((dir_ / "unread.txt").c_str(), R_OK) == 0;

  const struct {
    std::string arg;
    std::string message;
  } cases[] = {
      {"plain", "\n  Invalid Filename: plain\n"},
      {"dir.old/data", "\n  Invalid Filename: dir.old/data\n"},
      {"old.HST", "\n* Creating file old.HST\n    Data file and history file are the same: old.HST\n"},
      {"old.hSt", "\n* Creating file old.HST\n    Data file and history file are the same: old.hSt\n"},
      {"folder.txt", "\n* Creating file folder.HST\n    Could not open file: folder.txt\n"},
      {"count.txt", "\n* Creating file count.HST\n    Invalid tag count in file: count.HDR\n"},
      {"name.txt", "\n* Creating file name.HST\n    Tag name too long in file: name.HDR\n"},
      {"list.txt", "\n* Creating file list.HST\n    Tag list too long in file: list.HDR\n"},
      {"nohdr.txt", "\n* Creating file nohdr.HST\n    Could not open file: nohdr.HDR\n"},
      {"hdrdir.txt", "\n* Creating file hdrdir.HST\n    Could not open file: hdrdir.HDR\n"},
      {"unread.txt", root ? "" : "\n* Creating file unread.HST\n    Could not open file: unread.txt\n"},
  };
  for (const auto& c : cases) {
    if (c.message.empty()) continue;
    const RunResult r = run({c.arg});
    EXPECT_EQ(r.status, 1) << c.arg;
    EXPECT_EQ(r.out, kBanner + c.message + "\n\n") << c.arg;
  }
  EXPECT_FALSE(fs::exists(dir_ / "dir.HST"));
  EXPECT_FALSE(fs::exists(dir_ / "name.HST"));
  EXPECT_FALSE(fs::exists(dir_ / "list.HST"));
  EXPECT_FALSE(fs::exists(dir_ / "nohdr.HST"));
  EXPECT_FALSE(fs::exists(dir_ / "unread.HST") && !root);
  for (const char* kept : {"old.HST", "folder.HST", "count.HST"}) {
    EXPECT_EQ(read_file(dir_ / kept), "precious") << kept;
  }
}

TEST_F(TagpressTest, RefusesADataFileThatIsTheHistoryFile) {
  write_file(dir_ / "log.HDR", "0\n");
  write_file(dir_ / "log.HST", "05/03/2015 10:20:30\n");
  fs::create_symlink("log.HST", dir_ / "log.txt");
  const RunResult r = run({"log.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kBanner + "\n* Creating file log.HST\n"
                             "    Data file and history file are the same: log.txt\n\n\n");
  EXPECT_EQ(read_file(dir_ / "log.HST"), "05/03/2015 10:20:30\n");
}

TEST_F(TagpressTest, SkipsAndReportsMalformedLines) {
  write_file(dir_ / "m.HDR", "1\nV\n");
  write_file(dir_ / "m.txt",
             "05/03/2015 10:00:00 1\n"
             "\n"
             "   \t\n"
             "garbage\n"
             "31/02/2015 10:00:00 2\n"
             "05/03/2015 10:00:01 3\r\n" +
                 std::string(1048577, '7') + "\n" +
                 "01/01/1601 00:00:00 4\n"
                 "05/03/2015 10:00:02 5\x1A"
                 "05/03/2015 10:00:03 6\n");
  const RunResult r = run({"m.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kBanner + "\n* Creating file m.HST\n   Tag = V \n" + counter(9) +
                       "\n    Skipped malformed lines: 3 (first at line 4)\n\n\n");
  const std::string hst = read_file(dir_ / "m.HST");
  ASSERT_EQ(hst.size(), 74u + 4 * 16);
  EXPECT_EQ(f64(hst, 74 + 8), 1.0);
  EXPECT_EQ(f64(hst, 74 + 24), 3.0);
  EXPECT_EQ(u64(hst, 74 + 32), 0u);  // 1601-01-01 00:00:00 UTC is tick 0
  EXPECT_EQ(f64(hst, 74 + 56), 5.0);

  // East of UTC the first instant of 1601 lies before the tick count's origin.
  const RunResult berlin = run({"m.txt"}, "Europe/Berlin");
  EXPECT_NE(berlin.out.find("Skipped malformed lines: 4 (first at line 4)"), std::string::npos);
}

TEST_F(TagpressTest, ConvertsWithTheOffsetOfTheLinesOwnDate) {
  write_file(dir_ / "z.HDR", "0\n");
  write_file(dir_ / "z.txt",
             "15/01/2015 12:00:00\n"
             "15/07/2015 12:00:00\n"
             "29/03/2015 02:30:00\n"
             "25/10/2015 02:30:00\n"
             "01/07/1870 12:00:00\n");
  EXPECT_EQ(run({"z.txt"}, "Europe/Berlin").status, 0);
  const std::string hst = read_file(dir_ / "z.HST");
  ASSERT_EQ(hst.size(), 70u + 5 * 8);
  EXPECT_EQ(u64(hst, 70), ticks(2015, 1, 15, 11, 0, 0));
  EXPECT_EQ(u64(hst, 78), ticks(2015, 7, 15, 10, 0, 0));
  EXPECT_EQ(u64(hst, 86), ticks(2015, 3, 29, 1, 30, 0));
  EXPECT_EQ(u64(hst, 94), ticks(2015, 10, 25, 0, 30, 0));
  EXPECT_EQ(u64(hst, 102), ticks(1870, 7, 1, 11, 6, 32));
}

}  // namespace
