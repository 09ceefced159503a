// Runs the built tagpress in a temporary folder on real files and checks its
// standard output, exit status and the history file's bytes.
#include <signal.h>
#include <stdlib.h>

#include <bit>

#include "front/end_to_end_harness.h"

namespace e2e {
namespace {

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
                         std::string(60, '\0') + std::string("\x02\x00", 2) + "A\t \tB\t \t" +
                         std::string("\x00\xEB\x8E\x01\x2E\x57\xD0\x01", 8) +
                         std::string("\x00\x00\x00\x00\x00\x00\xF4\x3F", 8) +
                         std::string("\x00\x00\x00\x00\x00\x00\x0C\xC0", 8);
  EXPECT_EQ(read_file(dir_ / "ab.HST"), expected);
}

TEST_F(TagpressTest, AnswersTheCommandLine) {
  write_file(dir_ / "log.HDR", "0\n");
  write_file(dir_ / "log.csv", "05/03/2015 10:20:30,1\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err = {};  // standard error when not empty
  } cases[] = {
      {{}, 255, kBanner + kUsage},
      {{"data.txt", "/x"}, 255, kBanner + kUsage},
      {{"data.txt", "/i:08:00"}, 255, kBanner + kUsage},
      {{"data.txt", ""}, 255, kBanner + kUsage},
      {{"data.txt", ";", "/e", "/i:1:2:3", "/f:4:5:6", "/e"}, 255, kBanner + kUsage},
      {{"--help"}, 0, kBanner + kUsage + kHelpMore},
      {{"-h"}, 0, kBanner + kUsage + kHelpMore},
      {{"--version"}, 0, "tagpress " TAGPRESS_VERSION "\n"},
      {{"data.txt", "/x", "--help", "--version"}, 0, kBanner + kUsage + kHelpMore},
      {{"log.csv", "/e", "--version", "-h"}, 0, "tagpress " TAGPRESS_VERSION "\n"},
      {{"log.csv", "-e", "--ext"},
       255,
       kBanner + kUsage,
       "tagpress: '-e' is not an option; did you mean '/e'?\n"
       "tagpress: '--ext' is not an option; did you mean '/e'?\n"},
      {{"log.csv", "comma", "/q"},
       0,
       kBanner + "\n* Creating file log.HST\n\n\n",
       "tagpress: separator argument 'comma' is read as its first character 'c'\n"},
      {{"missing.txt"}, 1, kBanner + "Cannot found file missing.txt !\n\n"},
      {{"/etc/log.txt"}, 1, kBanner + "Cannot found file /etc/log.txt !\n\n"},
      {{""}, 1, kBanner + "Cannot found file  !\n\n", "tagpress: the data file name is empty\n"},
      {{"/e", "log.csv", ","},
       255,
       kBanner + kUsage,
       "tagpress: '/e' is an option, not a data file; the data file comes first\n"},
      {{"nothing*.txt"}, 1, kBanner + "Cannot found file nothing*.txt !\n\n"},
  };
  for (const auto& c : cases) {
    const RunResult r = run(c.args);
    EXPECT_EQ(r.status, c.status) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_EQ(r.out, c.out) << (c.args.empty() ? "" : c.args[0]);
    if (!c.err.empty()) {
      EXPECT_EQ(r.err, c.err) << c.args[0];
    }
  }
}

TEST_F(TagpressTest, ReadsTheLongOptions) {
  const std::string clean = "05/03/2015 10:20:30 1\n", back = "05/03/2015 10:20:29 1\n";
  const std::string log = "log.txt", us = "03/25/2015 10:20:30 1\n03/24/2015 10:20:30 1\n";
  write_file(dir_ / "log.HDR", "1\nT\n");
  const std::string tag = "\n* Creating file log.HST\n   Tag = T \n", usage = kBanner + kUsage;
  const std::string one = tag + counter(1);
  const std::string held = "\n    Warnings in file, not converted: log.txt\n";
  const std::string skipped = "\n    Skipped malformed lines: 1 (first at line 1)";
  const uint64_t mar5 = ticks(2015, 3, 5, 10, 20, 30), mar25 = ticks(2015, 3, 25, 10, 20, 30);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;           // after the banner, or the whole output when it starts with it
    std::string err;           // a part of standard error; empty: nothing there
    std::string log = {};      // the data file; empty for a usage error
    uint64_t first_time = 0;   // of the new history file; 0: the old one stays, no temporary file
    uint64_t first_value = 0;  // its first value's bits, when not 0
  } cases[] = {
      {{log, "--month-first"}, 0, tag + counter(2) + "\n\n", "dates day-first\n", us, mar25},
      {{log, "--strict"}, 1, tag + counter(2) + held + "\n\n", "dates month-first\n", clean + back},
      {{log, "--strict"}, 1, tag + counter(2) + skipped + held + "\n\n", "(no date", "x\n" + clean},
      // A warning about the options, told once, holds back every file of the run.
      {{log, "x;", "--strict", log}, 1, one + held + one + held + "\n\n", "'x;' is read as", clean},
      {{log, "--strict", "--strict"}, 0, one + "\n\n", "", clean, mar5},
      // Long options do not count toward the four others.
      {{log, "\\t", "/i:0:0:0", "/f:23:0:0", "/e", "--quiet"}, 0, tag + "\n\n", "", clean, mar5},
      {{log, "--decimal-comma"},
       0,
       one + "\n\n",
       "",
       "05/03/2015 10:20:30    79,9300\n",
       mar5,
       std::bit_cast<uint64_t>(79.93)},
      {{log, "/e", "--decimal-comma"},
       0,
       one + "\n\n",
       "",
       "05/03/2015 10:20:30\t79,93\n",
       mar5,
       std::bit_cast<uint64_t>(79.93)},
      {{log, "--blanks"},
       0,
       one + "\n\n",
       "",
       "05/03/2015 10:20:30  \t  79.93  \n",
       mar5,
       std::bit_cast<uint64_t>(79.93)},
      {{log, "--nan", "/e"},
       0,
       one + "\n\n",
       "every tag reads NaN",
       "05/03/2015 10:20:30\t\n",
       mar5,
       0x7FF8000000000000},
      {{log, ",", "--decimal-comma"}, 255, usage, ": it cannot be the separator too\n"},
      {{log, "--blanks", "/e", ";"}, 255, usage, "no separator argument, and ';' is one\n"},
      {{log, "--word"}, 255, usage, "tagpress: '--word' is not an option\n"},
      {{log, "--nan=1"}, 255, usage, "'--nan=1' is not an option; '--nan' takes no value\n"},
      {{"--strict", log}, 255, usage, "'--strict' is an option, not a data file; the data file"},
  };
  for (const auto& c : cases) {
    write_file(dir_ / "log.txt", c.log);
    write_file(dir_ / "log.HST", "precious");
    const RunResult r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[1];
    EXPECT_EQ(r.out, c.out.starts_with(kBanner) ? c.out : kBanner + c.out) << c.args[1];
    EXPECT_TRUE(c.err.empty() ? r.err.empty() : r.err.find(c.err) != std::string::npos) << r.err;
    const std::string hst = read_file(dir_ / "log.HST");
    const size_t header = u64(hst, 0) >> 16 & 0xFFFF;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 3) << c.args[1];
    EXPECT_EQ(c.first_time ? u64(hst + std::string(8, '\0'), header) : 0, c.first_time);
    if (c.first_value != 0) {
      EXPECT_EQ(u64(hst, header + 8), c.first_value) << c.args[1];
    }
    EXPECT_EQ(c.first_time == 0 ? hst : "precious", "precious") << c.args[1];
  }
}

TEST_F(TagpressTest, ReportsEveryFailureAndKeepsOldHistoryFiles) {
  SKIP_ON_WINDOWS("old.HST and old.hSt name one file, and no mode makes a file unreadable");
#if !TAGPRESS_TESTS_ON_WINDOWS
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
      {"old.HST",
       "\n* Creating file old.HST\n    Data file and history file are the same: old.HST\n"},
      {"old.hSt",
       "\n* Creating file old.HST\n    Data file and history file are the same: old.hSt\n"},
      {"folder.txt", "\n* Creating file folder.HST\n    Could not open file: folder.txt\n"},
      {"count.txt", "\n* Creating file count.HST\n    Invalid tag count in file: count.HDR\n"},
      {"name.txt", "\n* Creating file name.HST\n    Tag name too long in file: name.HDR\n"},
      {"list.txt", "\n* Creating file list.HST\n    Tag list too long in file: list.HDR\n"},
      {"nohdr.txt", "\n* Creating file nohdr.HST\n    Could not open file: nohdr.HDR\n"},
      {"hdrdir.txt", "\n* Creating file hdrdir.HST\n    Could not open file: hdrdir.HDR\n"},
      {"unread.txt",
       root ? "" : "\n* Creating file unread.HST\n    Could not open file: unread.txt\n"},
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
#endif
}

TEST_F(TagpressTest, RefusesADataFileThatIsTheHistoryFile) {
  SKIP_ON_WINDOWS("symbolic links need a privilege there; the Windows table covers a hard link");
  write_file(dir_ / "log.HDR", "0\n");
  write_file(dir_ / "log.HST", "05/03/2015 10:20:30\n");
  fs::create_symlink("log.HST", dir_ / "log.txt");
  const RunResult r = run({"log.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kBanner +
                       "\n* Creating file log.HST\n"
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

// Each record's time in ticks, in file order.
std::vector<uint64_t> record_ticks(const std::string& hst, size_t header = 70, size_t record = 8) {
  std::vector<uint64_t> out;
  for (size_t at = header; at + record <= hst.size(); at += record) out.push_back(u64(hst, at));
  return out;
}

TEST_F(TagpressTest, ReadsTheRepeatedHourFromTheOrderOfTheLines) {
  // Berlin goes back from 03:00 to 02:00 at 01:00 UTC on 25/10/2015. A log written on across
  // the change runs on; a malformed line in between changes nothing; the next file starts afresh.
  write_file(dir_ / "a.HDR", "0\n");
  write_file(dir_ / "a.txt",
             "25/10/2015 01:59:59\n"
             "25/10/2015 02:59:59\n"
             "01/01/1601 00:00:00\n"
             "25/10/2015 02:00:00\n"
             "25/10/2015 02:00:01.500\n"
             "25/10/2015 02:59:59\n"
             "25/10/2015 03:00:00\n");
  write_file(dir_ / "b.HDR", "0\n");
  write_file(dir_ / "b.txt",
             "25/10/2015 02:30:00\n"
             "25/10/2015 02:30:01\n");
  EXPECT_EQ(run({"*.txt"}, "Europe/Berlin").status, 0);
  EXPECT_EQ(record_ticks(read_file(dir_ / "a.HST")),
            (std::vector<uint64_t>{ticks(2015, 10, 24, 23, 59, 59), ticks(2015, 10, 25, 0, 59, 59),
                                   ticks(2015, 10, 25, 1, 0, 0), ticks(2015, 10, 25, 1, 0, 1, 500),
                                   ticks(2015, 10, 25, 1, 59, 59), ticks(2015, 10, 25, 2, 0, 0)}));
  EXPECT_EQ(record_ticks(read_file(dir_ / "b.HST")),
            (std::vector<uint64_t>{ticks(2015, 10, 25, 0, 30, 0), ticks(2015, 10, 25, 0, 30, 1)}));

  // New York goes back from 02:00 to 01:00 at 06:00 UTC on 01/11/2015. A line the window
  // drops still counts as the previous line.
  write_file(dir_ / "c.HDR", "0\n");
  write_file(dir_ / "c.txt",
             "01/11/2015 01:00:00\n"
             "01/11/2015 01:59:59\n"
             "01/11/2015 01:00:00\n"
             "01/11/2015 01:30:00\n");
  EXPECT_EQ(run({"c.txt", "/f:01:30:00"}, "America/New_York").status, 0);
  EXPECT_EQ(record_ticks(read_file(dir_ / "c.HST")),
            (std::vector<uint64_t>{ticks(2015, 11, 1, 5, 0, 0), ticks(2015, 11, 1, 6, 0, 0),
                                   ticks(2015, 11, 1, 6, 30, 0)}));
}

// Seconds of the day of each record's UTC time, in file order.
std::vector<int> record_times(const std::string& hst, size_t header, size_t record) {
  std::vector<int> out;
  for (const uint64_t t : record_ticks(hst, header, record)) {
    out.push_back(static_cast<int>(t / 10000000 % 86400));
  }
  return out;
}

TEST_F(TagpressTest, KeepsTheTimeOfDayWindowOnEveryDay) {
  write_file(dir_ / "w.HDR", "0\n");
  write_file(dir_ / "w.txt",
             "05/03/2015 07:59:59\n"
             "05/03/2015 08:00:00.999\n"
             "05/03/2015 12:00:00\n"
             "05/03/2015 17:30:00.500\n"
             "05/03/2015 17:30:01\n"
             "06/03/2015 07:00:00\n"
             "31/02/2015 07:00:00\n"  // malformed, outside the window: still reported
             "31/02/2015 09:00:00\n"
             "06/03/2015 09:00:00\n");
  const struct {
    std::vector<std::string> args;
    std::vector<int> seconds;
  } cases[] = {
      {{"w.txt"}, {28799, 28800, 43200, 63000, 63001, 25200, 32400}},
      {{"w.txt", "/i:08:00:00", "/f:17:30:00"}, {28800, 43200, 63000, 32400}},
      {{"w.txt", "/I18:00:00"}, {28800, 43200, 63000, 63001, 32400}},
      {{"w.txt", "/f:-1:0:0"}, {}},
      {{"w.txt", "/i:-1:0:0"}, {28799, 28800, 43200, 63000, 63001, 25200, 32400}},
      {{"w.txt", "/i:25:00:00"}, {}},
      {{"w.txt", "/i:22:00:00", "/f:06:00:00"}, {}},
      {{"w.txt", "/i:12::00:00", "/f:a:b:c"}, {}},
      {{"w.txt", "/i:12:0:0:9", "/f:99999999999:0:0"}, {43200, 63000, 63001}},
  };
  for (const auto& c : cases) {
    const RunResult r = run(c.args);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(counter(9) + "\n    Skipped malformed lines: 2 (first at line 7)\n"),
              std::string::npos)
        << c.args.back();
    EXPECT_EQ(record_times(read_file(dir_ / "w.HST"), 70, 8), c.seconds) << c.args.back();
  }
}

// `text` as UTF-16LE with its byte-order mark, as PowerShell 5 writes a file.
std::string utf16le(const std::string& text) {
  std::string out = "\xFF\xFE";
  for (char c : text) out += {c, '\0'};
  return out;
}

TEST_F(TagpressTest, ReadsEveryLineShapeInBothLayouts) {
  write_file(dir_ / "d.HDR", "3\nA\nB\nC\n");
  const struct {
    std::string separator;
    std::string line;
    std::vector<double> values;
    std::vector<std::string> options = {"/e"};  // before the separator
  } cases[] = {
      {";", "05/03/2015 10:20:30;1.5;22.75;333.125", {1.5, 22.75, 333.125}},
      {",", "05/03/2015 10:20:30.5,1,2", {1, 2, 2}},
      {" ", "05/03/2015 10:20:30.123 3  4", {3, 0, 4}},
      {"", "05/03/2015 10:20:30\t123456789.01234\t\t-7", {123456789.01234, 0, -7}},
      {"\\t", "05/03/2015 10:20:30\t1\t2\t3", {1, 2, 3}},
      {";", "05/03/2015 10:20:30;1;", {1, 0, 0}},
      {";", "05/03/2015 10:20:30", {0, 0, 0}},
      // Dates and times without their leading zeros are read where they stand.
      {"", "5/3/2015 9:05:07\t1.5\t2.5\t3", {1.5, 2.5, 3}},
      {"", "05/03/2015 9:00:00\t1\t2\t3", {1, 2, 3}},
      {"", "5/3/2015 9:05:07.250\t1\t2\t3", {1, 2, 3}},
      {"", "05/03/2015 9:05:07 \t1\t2\t3", {1, 2, 3}},
      {" ", "05/03/2015 9:00:00 1 2 3", {1, 2, 3}},
      // A fraction after ',' and a 12-hour clock, in both layouts; /i compares the 24-hour time.
      {"", "05/03/2015 10:00:02,250\t1\t2\t3", {1, 2, 3}},
      {";", "05/03/2015 1:05:07 pm;1;2;3", {1, 2, 3}, {"/e", "/i:13:00:00"}},
      {"", "05/03/2015 01:05:07 PM        1.5        2.5        3.5", {1.5, 2.5, 3.5}, {}},
      {"", "05/03/2015 10:00:02,250        1.5        2.5        3.5", {1.5, 2.5, 3.5}, {}},
      // Line ends: a lone CR, CR CR LF, NULs that end a line, UTF-16.
      {"", "05/03/2015 10:20:30\t1\t2\t3\r05/03/2015 10:20:31\t4\t5\t6", {1, 2, 3, 4, 5, 6}},
      {"",
       "05/03/2015 10:20:30        1.5        2.5        3.5\r\r\n"
       "05/03/2015 10:20:31          4          5          6\r",
       {1.5, 2.5, 3.5, 4, 5, 6},
       {}},
      {";",
       std::string("05/03/2015 10:20:30;1;2;3\0\0", 27) + "05/03/2015 10:20:31;4;5;6",
       {1, 2, 3, 4, 5, 6}},
      {"", utf16le("05/03/2015 10:20:30\t1\t2\t3\r\n"), {1, 2, 3}},
      {"",
       utf16le("05/03/2015 10:20:30        1.5        2.5        3.5\r\n"),
       {1.5, 2.5, 3.5},
       {}},
  };
  for (const auto& c : cases) {
    write_file(dir_ / "d.txt", c.line.starts_with("\xFF\xFE") ? c.line : c.line + "\n");
    std::vector<std::string> args{"d.txt"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    if (!c.separator.empty()) args.push_back(c.separator);
    ASSERT_EQ(run(args).status, 0) << c.line;
    const std::string hst = read_file(dir_ / "d.HST");
    const size_t header = 70 + 3 * 4;
    ASSERT_EQ(hst.size(), header + 32 * (c.values.size() / 3)) << c.line;
    std::vector<double> values;
    for (size_t at = header; at < hst.size(); at += 32) {
      for (int k = 0; k < 3; ++k) values.push_back(f64(hst, at + 8 + 8 * k));
    }
    EXPECT_EQ(values, c.values) << c.line;
  }
}

TEST_F(TagpressTest, ConvertsEveryFileAPatternMatches) {
  for (const char* name : {"b.txt", "a.txt", "c.dat"}) {
    write_file(dir_ / name, "05/03/2015 10:20:30\n");
  }
  for (const char* name : {"a.HDR", "b.HDR", "c.HDR"}) write_file(dir_ / name, "0\n");
  write_file(dir_ / "old.HST", "");
  write_file(dir_ / "x.hdr", "");
  fs::create_directories(dir_ / "sub.txt");
  const RunResult r = run({"*.*"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kBanner + "\n* Creating file a.HST\n" + counter(1) +
                       "\n* Creating file b.HST\n" + counter(1) + "\n* Creating file c.HST\n" +
                       counter(1) + "\n\n");
  const RunResult one = run({"?.txt"});
  EXPECT_NE(one.out.find("a.HST"), std::string::npos);
  EXPECT_EQ(one.out.find("c.HST"), std::string::npos);
}

// Names as an unquoted pattern expands them, options among them, and a tag
// header named in lower case.
TEST_F(TagpressTest, ConvertsEveryDataFileTheCommandLineNames) {
  SKIP_ON_WINDOWS("both.HDR and both.hdr name one file, and there is no pseudo-terminal");
  fs::create_directories(dir_ / "data" / "sub");
  const std::pair<const char*, const char*> files[] = {
      {"data/a.HDR", "1\nA\n"},
      {"data/a.txt", "05/03/2015 10:20:30\t1\n05/03/2015 10:20:31\t2\n"},
      {"data/b.HDR", "1\nB\n"},
      {"data/b.txt", "05/03/2015 10:20:30\t3\n"},
      {"data/c.hdr", "1\nC\n"},
      {"data/c.txt", "05/03/2015 10:20:30\t4\n"},
      {"data/x.HST", "precious"},
      {"b", "a one-character name is a separator\n"},
      {"d.HDR", "2\nP\nQ\n"},
      {"d.txt", "05/03/2015 10:20:30b1.5b-2\n"},
      {"bad.hdr", "251\n"},
      {"bad.txt", ""},
      {"both.HDR", "1\nUPPER\n"},
      {"both.hdr", "1\nlower\n"},
      {"both.txt", ""},
  };
  for (const auto& [name, content] : files) write_file(dir_ / name, content);
  const std::string abs = (dir_ / "data").string();
  // What converting one file prints: `lines` counter pieces, none with /q.
  const auto made = [](const std::string& stem, const std::string& tags, int lines) {
    return "\n* Creating file " + stem + ".HST\n" + tags + counter(lines);
  };
  const std::string a = made("data/a", "   Tag = A \n", 2), b = made("data/b", "   Tag = B \n", 1),
                    c = made("data/c", "   Tag = C \n", 1);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
  } cases[] = {
      {{"data/a.HDR", "data/a.txt", "data/b.HDR", "data/b.txt", "data/c.hdr", "data/c.txt",
        "data/sub", "data/x.HST"},
       0,
       a + b + c},
      {{abs + "/a.txt", "/q", abs + "/x.HST", abs + "/b.txt"},
       0,
       made(abs + "/a", "   Tag = A \n", 0) + made(abs + "/b", "   Tag = B \n", 0)},
      {{"data/a.txt", ";", "data/b.txt", "/e", "/i:10:20:31", "data/c.txt", "/QUIET", "data/a.txt"},
       0,
       made("data/a", "   Tag = A \n", 0) + made("data/b", "   Tag = B \n", 0) +
           made("data/c", "   Tag = C \n", 0) + made("data/a", "   Tag = A \n", 0)},
      {{"data/a*.txt", "data/c.txt"}, 0, a + c},
      {{"missing.txt", "data/b.txt"}, 1, "Cannot found file missing.txt !" + b},
      {{"data/x.HST", "data/b.txt"}, 0, b},
      {{"data/a.HDR", "data/x.HST", "data/sub"}, 1, "Cannot found file data/a.HDR !"},
      {{"data/x.HST"},
       1,
       "\n* Creating file data/x.HST\n    Data file and history file are the same: data/x.HST\n"},
      {{"d.txt", "b", "/e"}, 0, made("d", "   Tag = P \n   Tag = Q \n", 1)},
      {{"bad.txt"}, 1, "\n* Creating file bad.HST\n    Invalid tag count in file: bad.hdr\n"},
      {{"both.txt", "/q"}, 0, made("both", "   Tag = UPPER \n", 0)},
      // Files do not count toward the four options; options beyond four still do.
      {{"data/a.txt", ";", "data/b.txt", "/e", "/i:1:2:3", "/f:4:5:6", "/q"}, 255, kUsage},
  };
  for (const auto& c : cases) {
    const RunResult r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args.size();
    EXPECT_EQ(r.out, kBanner + c.out + (c.status == 255 ? "" : "\n\n"))
        << c.args[0] << " " << c.args.size();
  }
  EXPECT_EQ(read_file(dir_ / "data" / "x.HST"), "precious");
  const std::string d = read_file(dir_ / "d.HST");
  ASSERT_EQ(d.size(), 70u + 8 + 24);
  EXPECT_EQ(f64(d, 78 + 8), 1.5);
  EXPECT_EQ(f64(d, 78 + 16), -2.0);

  // No counter on a terminal either, and everything else unchanged.
  const RunResult quiet = run_on_terminal(dir_, {"data/a.txt", "/q"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, kBanner + made("data/a", "   Tag = A \n", 0) + "\n\n");
}

TEST_F(TagpressTest, KeepsConvertingWhenStandardOutputCloses) {
  write_file(dir_ / "p.HDR", "2\nA\nB\n");
  write_file(dir_ / "p.txt", big_log(200000));
  ASSERT_EQ(run({"p.txt"}).status, 0);
  const std::string complete = read_file(dir_ / "p.HST");
  fs::remove(dir_ / "p.HST");

  int pipe_fds[2];
  ASSERT_TRUE(make_pipe(pipe_fds));
  const pid_t pid = spawn(dir_, {"p.txt"}, pipe_fds[1]);
  close(pipe_fds[1]);
  char head[10];
  ASSERT_EQ(read(pipe_fds[0], head, sizeof head), 10);
  close(pipe_fds[0]);
  EXPECT_EQ(wait_for(pid), 0);
  EXPECT_EQ(read_file(dir_ / "p.HST"), complete);
}

TEST_F(TagpressTest, ConvertsWithStandardOutputClosed) {
  write_file(dir_ / "c.HDR", "2\nA\nB\n");
  write_file(dir_ / "c.txt", big_log(1000));
  ASSERT_EQ(run({"c.txt"}).status, 0);
  const std::string complete = read_file(dir_ / "c.HST");
  fs::remove(dir_ / "c.HST");
  EXPECT_EQ(wait_for(spawn(dir_, {"c.txt"}, -1)), 0);
  EXPECT_EQ(read_file(dir_ / "c.HST"), complete);
}

TEST_F(TagpressTest, ShowsALiveCounterOnATerminal) {
  SKIP_ON_WINDOWS("no pseudo-terminal to read the counter from");
  write_file(dir_ / "t.HDR", "0\n");
  write_file(dir_ / "t.txt", big_log(300000));
  const RunResult r = run_on_terminal(dir_, {"t.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\r   Line = 300000   \n\n"), std::string::npos);
  EXPECT_LT(r.out.size(), counter(300000).size() / 10);  // only some values are shown
}

}  // namespace
}  // namespace e2e
