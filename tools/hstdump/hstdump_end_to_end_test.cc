// Runs the built tagpress and hstdump in a temporary folder: history files
// made by the converter (or by hand) must print back what they hold.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "common/tag_table_for_tests.h"
#include "front/end_to_end_harness.h"
#include "history/history_file.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status;  // exit status, or 1000 + signal number
  std::string out;
  std::string err;
  long max_rss_kb = 0;
};

using e2e::read_file;
using e2e::write_file;

void put64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>(v >> (8 * i));
}

void put_double(std::string& out, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  put64(out, bits);
}

// A history file header for `names`, made by the converter's own encoder.
std::string header_for(const std::vector<std::string>& names) {
  std::string out;
  encode_history_header(*tag_table_of(names), out);
  return out;
}

const std::string kSummaryOf3TagsPrefix = "# format code: 3\n# tag count: 3\n# record length: 32\n";

class HstdumpTest : public e2e::TempFolderTest {
 protected:
  // Runs `binary` with `args` in the test folder under time zone `tz`.
  // Standard output goes to `out_path` (a file in the folder by default).
  RunResult run(const char* binary, const std::vector<std::string>& args,
                const std::string& tz = "UTC", const std::string& out_path = "") {
    const fs::path out_file = out_path.empty() ? dir_ / ".stdout" : fs::path(out_path);
    const fs::path err_file = dir_ / ".stderr";
    const int out = open_output(e2e::utf8_path(out_file));
    const int err = open_output(e2e::utf8_path(err_file));
    EXPECT_GE(out, 0);
    EXPECT_GE(err, 0);
    long peak_rss_kib = 0;
    const int status =
        e2e::wait_for(e2e::spawn_program(dir_, binary, args, out, tz, err), &peak_rss_kib);
    close(out);
    close(err);
    RunResult result{status, out_path.empty() ? read_file(out_file) : "", read_file(err_file),
                     peak_rss_kib};
    if (out_path.empty()) fs::remove(out_file);
    fs::remove(err_file);
    return result;
  }

  RunResult dump(const std::vector<std::string>& args, const std::string& tz = "UTC") {
    return run(HSTDUMP_BINARY, args, tz);
  }
};

TEST_F(HstdumpTest, PrintsBackWhatTheConverterRead) {
  write_file(dir_ / "log.HDR", "3\nT1\nflow,m3/h\nT3\n");
  write_file(dir_ / "log.txt",
             "05/03/2015 10:20:30\t1.25\t-3.5\t0\n"
             "05/03/2015 10:20:31.250\t2\t1d-1\t1e300\n"
             "06/03/2015 00:00:00.999\t-0\t\t7\n");
  ASSERT_EQ(run(TAGPRESS_BINARY, {"log.txt", "/e"}).status, 0);

  const RunResult r = dump({"log.HST"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "time,T1,\"flow,m3/h\",T3\n"
            "2015-03-05T10:20:30.000Z,1.25,-3.5,0\n"
            "2015-03-05T10:20:31.250Z,2,0.1,1e+300\n"
            "2015-03-06T00:00:00.999Z,-0,0,7\n");

  const RunResult summary = dump({"--summary", "log.HST"});
  EXPECT_EQ(summary.status, 0);
  EXPECT_EQ(summary.out, kSummaryOf3TagsPrefix +
                             "# header length: 92\n"
                             "# record count: 3\n"
                             "# first time: 2015-03-05T10:20:30.000Z\n"
                             "# last time: 2015-03-06T00:00:00.999Z\n");
}

TEST_F(HstdumpTest, ShowsLocalTimesOfTheZoneInTheEnvironment) {
  write_file(dir_ / "z.HDR", "1\nT\n");
  // Written in Berlin local time: winter, summer, and local mean time before 1893.
  write_file(dir_ / "z.txt",
             "05/03/2015 11:20:30\t         1\n"
             "01/07/2015 12:00:00\t         2\n"
             "01/01/1890 00:53:28\t         3\n");
  ASSERT_EQ(run(TAGPRESS_BINARY, {"z.txt"}, "Europe/Berlin").status, 0);

  EXPECT_EQ(dump({"z.HST"}, "Europe/Berlin").out,
            "time,T\n2015-03-05T10:20:30.000Z,1\n2015-07-01T10:00:00.000Z,2\n"
            "1890-01-01T00:00:00.000Z,3\n");

  const RunResult local = dump({"z.HST", "--local"}, "Europe/Berlin");
  EXPECT_EQ(local.status, 0);
  EXPECT_EQ(local.out,
            "time,T\n"
            "2015-03-05T11:20:30.000+01:00,1\n"
            "2015-07-01T12:00:00.000+02:00,2\n"
            "1890-01-01T00:53:28.000+00:53:28,3\n");
  EXPECT_NE(dump({"z.HST", "--local", "--summary"}, "Europe/Berlin")
                .out.find("# first time: 2015-03-05T11:20:30.000+01:00\n"
                          "# last time: 1890-01-01T00:53:28.000+00:53:28\n"),
            std::string::npos);
}

TEST_F(HstdumpTest, PrintsTheWholeRecordsBeforeAPartialOne) {
  write_file(dir_ / "cut.HDR", "3\nA\nB\nC\n");
  write_file(dir_ / "cut.txt",
             "05/03/2015 10:20:30\t         1\t         2\t         3\n"
             "05/03/2015 10:20:40\t         4\t         5\t         6\n");
  ASSERT_EQ(run(TAGPRESS_BINARY, {"cut.txt"}).status, 0);
  const std::string full = read_file(dir_ / "cut.HST");
  write_file(dir_ / "cut.HST", full.substr(0, full.size() - 7));

  const RunResult r = dump({"cut.HST"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "time,A,B,C\n2015-03-05T10:20:30.000Z,1,2,3\n");
  EXPECT_EQ(r.err, "hstdump: cut.HST: file ends in a partial record (25 of 32 bytes)\n");
  const RunResult summary = dump({"--summary", "cut.HST"});
  EXPECT_EQ(summary.status, 1);
  EXPECT_EQ(summary.out, kSummaryOf3TagsPrefix +
                             "# header length: 82\n"
                             "# record count: 1\n"
                             "# trailing bytes: 25\n"
                             "# first time: 2015-03-05T10:20:30.000Z\n"
                             "# last time: 2015-03-05T10:20:30.000Z\n");
  EXPECT_EQ(summary.err, r.err);
}

TEST_F(HstdumpTest, PrintsInfinitiesQuotedNamesAndRawTicks) {
  std::string file = header_for({"a\tb", "say\"x\"", ""});
  put64(file, 0);
  put_double(file, std::numeric_limits<double>::infinity());
  put_double(file, -std::numeric_limits<double>::infinity());
  put_double(file, std::numeric_limits<double>::quiet_NaN());
  put64(file, 0xFFFF'FFFF'FFFF'FFFFULL);
  put_double(file, std::numeric_limits<double>::denorm_min());
  put_double(file, -0.0);
  put_double(file, 0.1);
  write_file(dir_ / "odd.HST", file);

  const RunResult r = dump({"odd.HST"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "time,\"a\tb\",\"say\"\"x\"\"\",\n"
            "1601-01-01T00:00:00.000Z,inf,-inf,nan\n"
            "ticks:18446744073709551615,5e-324,-0,0.1\n");
  EXPECT_NE(dump({"--summary", "odd.HST"})
                .out.find("# first time: 1601-01-01T00:00:00.000Z\n"
                          "# last time: ticks:18446744073709551615\n"),
            std::string::npos);
}

TEST_F(HstdumpTest, RefusesWhatIsNoHistoryFile) {
  fs::create_directory(dir_ / "folder.HST");
  std::string bad_record = header_for({"A", "B"});
  bad_record[4] = 20;
  write_file(dir_ / "data.HST", bad_record + std::string(40, '\0'));
  write_file(dir_ / "log.txt", "05/03/2015 10:20:30\t1.25\n");
  const struct {
    std::string file, err;
  } cases[] = {
      {"missing.HST", "hstdump: missing.HST: cannot open: No such file or directory\n"},
      {"folder.HST", "hstdump: folder.HST: is a directory\n"},
      {"data.HST", "hstdump: data.HST: record length 20 does not match 2 tags (expected 24)\n"},
      {"log.txt",
       "hstdump: log.txt: not a history file (it starts with \"05/03/20\", format code 13616, "
       "expected 3)\n"},
  };
  for (const auto& c : cases) {
    const RunResult r = dump({c.file});
    EXPECT_EQ(r.status, 1) << c.file;
    EXPECT_EQ(r.out, "") << c.file;
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(HstdumpTest, AnswersTheCommandLineAndReportsAFullOutput) {
  const RunResult version = dump({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "hstdump " TAGPRESS_VERSION "\n");
  const RunResult help = dump({"x.HST", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: hstdump", 0), 0u);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"--summary"}, {"--bogus", "a.HST"}}) {
    const RunResult r = dump(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("\nUsage: hstdump"), std::string::npos) << r.err;
  }
  write_file(dir_ / "e.HST", header_for({"A"}));
  SKIP_ON_WINDOWS("no /dev/full to fill standard output");
  const RunResult full = run(HSTDUMP_BINARY, {"e.HST"}, "UTC", "/dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "hstdump: standard output: No space left on device\n");
}

// Several files: one header row, a file column, the union of the tags, and
// failures reported while the other files are still printed.
TEST_F(HstdumpTest, PrintsSeveralFilesAsOneTable) {
  const uint64_t t0 = 130'000'000'000'000'000ULL;  // 2012-12-14T23:06:40.000Z
  const auto history = [&](const std::vector<std::string>& names,
                           const std::vector<std::vector<double>>& rows) {
    std::string file = header_for(names);
    for (size_t r = 0; r < rows.size(); ++r) {
      put64(file, t0 + r * 10'000'000);
      for (double v : rows[r]) put_double(file, v);
    }
    return file;
  };
  write_file(dir_ / "a.HST", history({"T1", "T2"}, {{1, 2}, {3, 4}}));
  write_file(dir_ / "b.HST", history({"T1", "T2"}, {{5, 6}}));
  write_file(dir_ / "c,1.HST", history({"T3", "T1"}, {{7, 8}}));
  write_file(dir_ / "cut.HST", history({"T1", "T2"}, {{9, 10}}) + "xx");
  // "T°" in Windows-1252 with 0x80 (€) and the undefined 0x81, then in UTF-8.
  write_file(dir_ / "w1252.HST", history({"T\xB0", "\x80\x81"}, {{1, 2}}));
  write_file(dir_ / "utf8.HST", history({"T\xC2\xB0"}, {{3}}));
  const std::string a1 = "a.HST,2012-12-14T23:06:40.000Z,1,2",
                    a2 = "a.HST,2012-12-14T23:06:41.000Z,3,4";
  const std::string b_summary =
      "# file: b.HST\n# format code: 3\n# tag count: 2\n# record length: 24\n"
      "# header length: 80\n# record count: 1\n# first time: 2012-12-14T23:06:40.000Z\n"
      "# last time: 2012-12-14T23:06:40.000Z\n";
  const std::string w1252_summary = "# file: w1252" + b_summary.substr(9);
  const std::string w1252_note =
      "hstdump: w1252.HST: 2 of 2 tag names are not UTF-8; read as Windows-1252\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } cases[] = {
      {{"a.HST", "b.HST"},
       0,
       "file,time,T1,T2\n" + a1 + "\n" + a2 + "\nb.HST,2012-12-14T23:06:40.000Z,5,6\n",
       ""},
      {{"a.HST", "missing.HST", "c,1.HST"},
       1,
       "file,time,T1,T2,T3\n" + a1 + ",\n" + a2 + ",\n\"c,1.HST\",2012-12-14T23:06:40.000Z,8,,7\n",
       "hstdump: missing.HST: cannot open: No such file or directory\n"},
      {{"cut.HST", "b.HST"},
       1,
       "file,time,T1,T2\ncut.HST,2012-12-14T23:06:40.000Z,9,10\n"
       "b.HST,2012-12-14T23:06:40.000Z,5,6\n",
       "hstdump: cut.HST: file ends in a partial record (2 of 24 bytes)\n"},
      {{"missing.HST", "--summary", "b.HST", "b.HST"},
       1,
       b_summary + b_summary,
       "hstdump: missing.HST: cannot open: No such file or directory\n"},
      {{"?.HST", "x*.HST"},
       1,
       "file,time,T1,T2\n" + a1 + "\n" + a2 + "\nb.HST,2012-12-14T23:06:40.000Z,5,6\n",
       "hstdump: x*.HST: no file matches the pattern\n"},
      {{"w1252.HST", "utf8.HST"},
       0,
       "file,time,T°,€\xC2\x81\nw1252.HST,2012-12-14T23:06:40.000Z,1,2\n"
       "utf8.HST,2012-12-14T23:06:40.000Z,3,\n",
       w1252_note},
      {{"w1252.HST"}, 0, "time,T°,€\xC2\x81\n2012-12-14T23:06:40.000Z,1,2\n", w1252_note},
      {{"--summary", "w1252.HST", "b.HST"}, 0, w1252_summary + b_summary, w1252_note},
  };
  for (const auto& c : cases) {
    const RunResult r = dump(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0];
    EXPECT_EQ(r.out, c.out) << c.args[0];
    EXPECT_EQ(r.err, c.err) << c.args[0];
  }
}

// A large file: the reader of the pipe quits after one line, and memory
// stays far below the file size.
TEST_F(HstdumpTest, StreamsLargeFilesAndStopsQuietlyAtAClosedPipe) {
  constexpr uint64_t kRecords = 2'000'000;
  {
    std::ofstream out(dir_ / "big.HST", std::ios::binary);
    out << header_for({"V"});
    std::string chunk;
    for (uint64_t i = 0; i < kRecords; ++i) {
      put64(chunk, 130'000'000'000'000'000ULL + i * 10'000'000);
      put_double(chunk, static_cast<double>(i) / 8);
      if (chunk.size() >= (1 << 20)) {
        out << chunk;
        chunk.clear();
      }
    }
    out << chunk;
  }
  write_file(dir_ / "small.HST", header_for({"V"}));
  const RunResult small = run(HSTDUMP_BINARY, {"small.HST"}, "UTC", "/dev/null");
  const RunResult whole = run(HSTDUMP_BINARY, {"big.HST"}, "UTC", "/dev/null");
  EXPECT_EQ(small.status, 0);
  EXPECT_EQ(whole.status, 0);
  // The file holds 32 MB; a sanitizer or a wrapper adds its own share to both runs.
  EXPECT_LT(whole.max_rss_kb - small.max_rss_kb, 8 * 1024);
  if (e2e::memory_measured_as_built()) {
    EXPECT_LT(whole.max_rss_kb, 12 * 1024);
  }
  RecordProperty("peak_kib", static_cast<int>(whole.max_rss_kb));

  int fds[2];
  ASSERT_TRUE(make_pipe(fds));
  const pid_t pid =
      e2e::spawn_program(dir_, HSTDUMP_BINARY, {e2e::utf8_path(dir_ / "big.HST")}, fds[1]);
  close(fds[1]);
  char first[3];
  ASSERT_EQ(read(fds[0], first, sizeof first), static_cast<ssize_t>(sizeof first));
  EXPECT_EQ(std::string(first, 3), "tim");
  close(fds[0]);
  EXPECT_EQ(e2e::wait_for(pid), 0);
}

}  // namespace
