// Runs the built tagpress on hostile inputs and interrupts it at random
// moments: it must never crash, must answer with its message and exit status,
// must keep memory bounded, and must never leave a history file that holds
// anything but its header and whole records.
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <limits>
#include <random>
#include <tuple>

#include "front/end_to_end_harness.h"

#if !TAGPRESS_TESTS_ON_WINDOWS
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#endif

namespace e2e {
namespace {

constexpr size_t kMaxLine = 1'048'576;

class FaultTest : public TagpressTest {
 protected:
  // Runs to the end with output to /dev/null; the exit status and the peak
  // resident size of the child in KiB.
  std::pair<int, long> run_measured(const std::vector<std::string>& args) {
    // The child's peak counts what it shares with this process until it starts tagpress: the
    // heap that earlier tests freed goes back to the system first.
#if !TAGPRESS_TESTS_ON_WINDOWS
    malloc_trim(0);
#endif
    const int null_fd = open_output("/dev/null");
    const pid_t pid = spawn(dir_, args, null_fd);
    close(null_fd);
    long peak_rss_kib = 0;
    const int status = wait_for(pid, &peak_rss_kib);
    return {status, peak_rss_kib};
  }
};

// The header length and record length a history file announces.
size_t header_length(const std::string& hst) {
  return static_cast<unsigned char>(hst[2]) |
         static_cast<size_t>(static_cast<unsigned char>(hst[3])) << 8;
}
size_t record_length(const std::string& hst) {
  return static_cast<unsigned char>(hst[4]) |
         static_cast<size_t>(static_cast<unsigned char>(hst[5])) << 8;
}

std::string random_bytes(std::mt19937& random, size_t size) {
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

// Random bytes without the 0x1A that would end the file early.
std::string random_text(std::mt19937& random, size_t size) {
  std::string out = random_bytes(random, size);
  for (char& c : out) c = c == '\x1A' ? 'Z' : c;
  return out;
}

// Names in `dir` that a run may have left behind: hidden temporary files.
std::vector<std::string> hidden_files(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name[0] == '.' && name != ".stdout" && name != ".stderr") found.push_back(name);
  }
  return found;
}

TEST_F(FaultTest, StopSignalsAtRandomMomentsLeaveTheOldHistoryFileOrTheCompleteOne) {
  SKIP_ON_WINDOWS("no SIGTERM or SIGHUP; the Windows table sends Ctrl-C");
#if !TAGPRESS_TESTS_ON_WINDOWS
  write_file(dir_ / "s.HDR", "2\nA\nB\n");
  write_file(dir_ / "s.txt", big_log(600'000));
  const auto start_run = [this] {
    const int null_fd = open_output("/dev/null");
    const pid_t pid = spawn(dir_, {"s.txt"}, null_fd);
    close(null_fd);
    return pid;
  };
  // The quickest of three complete runs started as the signalled ones are: the first, on cold
  // caches, takes several times as long as the others.
  long full_run = std::numeric_limits<long>::max();
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(wait_for(start_run()), 0);
    full_run = std::min<long>(full_run, std::chrono::duration_cast<std::chrono::microseconds>(
                                            std::chrono::steady_clock::now() - started)
                                            .count());
  }
  const std::string complete = read_file(dir_ / "s.HST");
  ASSERT_EQ(complete.size(), 70 + 8 + 600'000 * 24u);

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  // Moments from the start of the process to a little past the end of a complete run.
  std::uniform_int_distribution<long> moment(0, full_run + full_run / 10);
  const int signals[] = {SIGTERM, SIGINT, SIGHUP};
  int interrupted = 0;
  for (int i = 0; i < 60; ++i) {
    const int signal_number = signals[i % 3];
    const std::string old = "an older history file " + std::to_string(i);
    write_file(dir_ / "s.HST", old);
    const pid_t pid = start_run();
    // Every other signal waits until the temporary file shows the run under way, so that
    // however long the process takes to start, half the moments fall within the run.
    if (i % 2 == 1) {
      siginfo_t ended = {};
      while (hidden_files(dir_).empty() &&
             waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
             ended.si_pid == 0) {
        usleep(500);
      }
    }
    usleep(static_cast<useconds_t>(moment(random)));
    kill(pid, signal_number);
    const int status = wait_for(pid);
    const std::string after = read_file(dir_ / "s.HST");
    EXPECT_EQ(hidden_files(dir_), std::vector<std::string>{}) << i;
    if (status == 0) {
      EXPECT_EQ(after, complete) << i;  // finished before the signal arrived
      continue;
    }
    // Stopped, or killed before its handlers were in place: nothing changed.
    EXPECT_TRUE(status == 128 + signal_number || status == 1000 + signal_number) << i << status;
    EXPECT_EQ(after, old) << i;
    interrupted += status == 128 + signal_number;
  }
  // Most moments fall within the run; a handful at least must have stopped it.
  EXPECT_GE(interrupted, 6);
  RecordProperty("interrupted", interrupted);
  RecordProperty("full_run_us", static_cast<int>(full_run));
#endif
}

// Every way a run can fail after the history file was started leaves the old
// history file byte for byte, and no temporary file.
TEST_F(FaultTest, FailedRunsKeepTheOldHistoryFile) {
  SKIP_ON_WINDOWS("no file-size limit, and /proc/self/mem is not there");
#if !TAGPRESS_TESTS_ON_WINDOWS
  fs::create_symlink("/proc/self/mem", dir_ / "unreadable.txt");  // reads fail with EIO
  write_file(dir_ / "unreadable.HDR", "0\n");
  write_file(dir_ / "iso.txt", "2015-03-05 10:20:30\t1.5\n2015-03-05 10:20:31\t1.5\n\n");
  write_file(dir_ / "iso.HDR", "1\nV\n");
  write_file(dir_ / "large.txt", big_log(20'000));
  write_file(dir_ / "large.HDR", "2\nA\nB\n");
  write_file(dir_ / "count.txt", "05/03/2015 10:20:30\n");
  write_file(dir_ / "count.HDR",
             "\xEF\xBB\xBF"
             "65537\nA\n");
  write_file(dir_ / "header.txt", "05/03/2015 10:20:30\n");
  fs::create_symlink("/proc/self/mem", dir_ / "header.HDR");
  const struct {
    std::string stem;
    rlim_t file_size_limit;
    std::string message;
    std::string reason;  // the last line on standard error
  } cases[] = {
      {"unreadable", RLIM_INFINITY, "\n    Could not read file: unreadable.txt\n\n\n",
       "tagpress: unreadable.txt: Input/output error\n"},
      {"iso", RLIM_INFINITY,
       "\n    Skipped malformed lines: 2 (first at line 1)\n"
       "    No valid line in file: iso.txt\n\n\n",
       "tagpress: iso.txt: none of its 2 lines starts with a valid date and time DD/MM/YYYY "
       "HH:MM:SS\n"},
      {"large", 100'000, "\n    Could not write file: large.HST\n\n\n",
       "tagpress: large.HST: File too large\n"},
      {"count", RLIM_INFINITY, "    Invalid tag count in file: count.HDR\n\n\n",
       "tagpress: count.HDR:1: 65537 tags; at most 250\n"},
      {"header", RLIM_INFINITY, "    Could not read file: header.HDR\n\n\n",
       "tagpress: header.HDR: Input/output error\n"},
  };
  for (const auto& c : cases) {
    const fs::path history = dir_ / (c.stem + ".HST");
    write_file(history, "precious");
    // The child inherits the limit; the test itself writes nothing meanwhile.
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = c.file_size_limit;
    setrlimit(RLIMIT_FSIZE, &limited);
    // Standard output goes through a pipe, which the limit does not cut short.
    int pipe_fds[2];
    ASSERT_EQ(pipe2(pipe_fds, O_CLOEXEC), 0);
    const fs::path err_path = dir_ / "err";
    const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const pid_t pid = spawn(dir_, {c.stem + ".txt"}, pipe_fds[1], "UTC", err_fd);
    close(err_fd);
    setrlimit(RLIMIT_FSIZE, &saved);
    close(pipe_fds[1]);
    std::string out;
    char chunk[65536];
    for (ssize_t n; (n = read(pipe_fds[0], chunk, sizeof chunk)) > 0;) {
      out.append(chunk, static_cast<size_t>(n));
    }
    close(pipe_fds[0]);
    EXPECT_EQ(wait_for(pid), 1) << c.stem;
    ASSERT_GE(out.size(), c.message.size()) << c.stem;
    EXPECT_EQ(out.substr(out.size() - c.message.size()), c.message) << c.stem;
    const std::string err = read_file(err_path);
    ASSERT_GE(err.size(), c.reason.size()) << c.stem;
    EXPECT_EQ(err.substr(err.size() - c.reason.size()), c.reason) << c.stem;
    EXPECT_EQ(read_file(history), "precious") << c.stem;
    EXPECT_EQ(hidden_files(dir_), std::vector<std::string>{}) << c.stem;
  }
#endif
}

// Two runs on one data file at once each write a whole file of their own:
// the last to finish wins, and nothing else is left.
TEST_F(FaultTest, ConcurrentRunsLeaveOneWholeFile) {
  write_file(dir_ / "c.HDR", "2\nA\nB\n");
  write_file(dir_ / "c.txt", big_log(200'000));
  ASSERT_EQ(run({"c.txt"}).status, 0);
  const std::string complete = read_file(dir_ / "c.HST");
  for (int round = 0; round < 2; ++round) {
    std::vector<pid_t> pids;
    for (int i = 0; i < 2; ++i) {
      const int null_fd = open_output("/dev/null");
      pids.push_back(spawn(dir_, {"c.txt"}, null_fd));
      close(null_fd);
    }
    for (const pid_t pid : pids) EXPECT_EQ(wait_for(pid), 0);
    EXPECT_EQ(read_file(dir_ / "c.HST"), complete);
    EXPECT_EQ(hidden_files(dir_), std::vector<std::string>{});
  }
}

// The new file gets the permissions a created file gets, a replaced one keeps
// its own, and a symbolic link leads to the file that is replaced.
TEST_F(FaultTest, ReplacementKeepsPermissionsAndLinks) {
  SKIP_ON_WINDOWS("no permission bits or umask; the Windows table covers attributes");
#if !TAGPRESS_TESTS_ON_WINDOWS
  write_file(dir_ / "p.HDR", "0\n");
  write_file(dir_ / "p.txt", "05/03/2015 10:20:30\n");
  const mode_t saved = umask(027);
  EXPECT_EQ(run({"p.txt"}).status, 0);
  umask(saved);
  EXPECT_EQ(fs::status(dir_ / "p.HST").permissions(), fs::perms(0640));
  const std::string converted = read_file(dir_ / "p.HST");

  write_file(dir_ / "p.HST", "old");
  fs::permissions(dir_ / "p.HST", fs::perms(0604));
  EXPECT_EQ(run({"p.txt"}).status, 0);
  EXPECT_EQ(fs::status(dir_ / "p.HST").permissions(), fs::perms(0604));
  EXPECT_EQ(read_file(dir_ / "p.HST"), converted);

  fs::create_directories(dir_ / "real");
  fs::rename(dir_ / "p.HST", dir_ / "real" / "target.HST");
  write_file(dir_ / "real" / "target.HST", "old");
  fs::create_symlink("real/target.HST", dir_ / "p.HST");
  EXPECT_EQ(run({"p.txt"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "p.HST"));
  EXPECT_EQ(read_file(dir_ / "real" / "target.HST"), converted);
  EXPECT_EQ(hidden_files(dir_ / "real"), std::vector<std::string>{});

  if (geteuid() != 0) {  // root may write a read-only file, so it is not refused
    fs::remove(dir_ / "p.HST");
    write_file(dir_ / "p.HST", "read-only");
    fs::permissions(dir_ / "p.HST", fs::perms(0444));
    const RunResult r = run({"p.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("    Could not create file: p.HST\n"), std::string::npos);
    EXPECT_EQ(read_file(dir_ / "p.HST"), "read-only");
  }
  EXPECT_EQ(hidden_files(dir_), std::vector<std::string>{});
#endif
}

TEST_F(FaultTest, SkipsGarbageLinesWithoutCrashing) {
  std::mt19937 random(20150305);
  const std::string stamp = "05/03/2015 10:20:30";
  const std::string value = "\t       1.5";
  const struct {
    std::string name;
    std::string data;
    uint64_t records;
    double value;         // of the first record
    std::string skipped;  // the malformed-line report, empty for none
  } cases[] = {
      {"binary", random_text(random, 3'000'000), 0, 0, "Skipped malformed lines: "},
      {"nul", std::string(2'000'000, '\0'), 0, 0, ""},  // one blank line, ended by NULs
      {"nul lines", std::string(1000, '\0') + "\n" + stamp + "\n" + std::string(10, '\0'), 1, 0,
       ""},
      {"longest", stamp + value + std::string(kMaxLine - 30, 'x') + "\n", 1, 1.5, ""},
      {"longest crlf", stamp + value + std::string(kMaxLine - 30, 'x') + "\r\n", 1, 1.5, ""},
      {"longest last", stamp + value + std::string(kMaxLine - 30, 'x'), 1, 1.5, ""},
      {"one too long", stamp + value + std::string(kMaxLine - 29, 'x') + "\n" + stamp + "\n", 1, 0,
       "Skipped malformed lines: 1 (first at line 1)"},
      {"one too long crlf", stamp + value + std::string(kMaxLine - 29, 'x') + "\r\n", 0, 0,
       "Skipped malformed lines: 1 (first at line 1)"},
      {"one too long last", stamp + value + std::string(kMaxLine - 29, 'x'), 0, 0,
       "Skipped malformed lines: 1 (first at line 1)"},
      {"longest with cr", stamp + value + std::string(kMaxLine - 30, 'x') + "\r", 1, 1.5, ""},
      {"byte-order mark", "\xEF\xBB\xBF" + stamp + value + "\n", 1, 1.5, ""},
      {"blank lines only", "\n  \r\n\t\n", 0, 0, ""},
  };
  write_file(dir_ / "g.HDR", "1\nV\n");
  for (const auto& c : cases) {
    write_file(dir_ / "g.txt", c.data);
    write_file(dir_ / "g.HST", "precious");
    const RunResult r = run({"g.txt"});
    if (c.skipped.empty()) {
      EXPECT_EQ(r.out.find("Skipped"), std::string::npos) << c.name;
    } else {
      EXPECT_NE(r.out.find("\n    " + c.skipped), std::string::npos) << c.name;
    }
    const std::string hst = read_file(dir_ / "g.HST");
    if (c.records == 0 && !c.skipped.empty()) {
      // Nothing but malformed lines: a failure that keeps the old history file.
      EXPECT_EQ(r.status, 1) << c.name;
      EXPECT_NE(r.out.find(")\n    No valid line in file: g.txt\n\n\n"), std::string::npos)
          << c.name << r.out.substr(r.out.size() - 80);
      EXPECT_EQ(hst, "precious") << c.name;
      continue;
    }
    EXPECT_EQ(r.status, 0) << c.name;
    ASSERT_EQ(hst.size(), 74 + 16 * c.records) << c.name;
    if (c.records > 0) {
      EXPECT_EQ(f64(hst, 74 + 8), c.value) << c.name;
    }
  }
}

TEST_F(FaultTest, LeavesTheLineBeingWrittenForTheNextRun) {
  SKIP_ON_WINDOWS("appends from a second thread while a spawned run reads");
#if !TAGPRESS_TESTS_ON_WINDOWS
  // A logger appends each line in two writes while the run reads: a record is
  // never made of a half-written line.
  const std::string line = "05/03/2015 10:20:30,7777,88,999\n";
  write_file(dir_ / "g.HDR", "3\nA\nB\nC\n");
  std::string start;
  for (int i = 0; i < 200'000; ++i) start += line;
  write_file(dir_ / "g.txt", start);
  const int null_fd = open_output("/dev/null");
  const pid_t pid = spawn(dir_, {"g.txt", ",", "/e"}, null_fd);
  close(null_fd);
  // Appending starts once the run has opened the data file, which it does before its
  // temporary history file appears.
  int wait_status = 0;
  pid_t done = 0;
  while (hidden_files(dir_).empty() && (done = waitpid(pid, &wait_status, WNOHANG)) == 0) {
    usleep(100);
  }
  const int log = open(utf8_path(dir_ / "g.txt").c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(log, 0);
  int appended = 0;
  while (done == 0 && (done = waitpid(pid, &wait_status, WNOHANG)) == 0 && appended < 100'000) {
    const size_t half = line.size() - 7;
    ASSERT_EQ(write(log, line.data(), half), static_cast<ssize_t>(half));
    usleep(200);  // most of the time, a line is half written
    ASSERT_EQ(write(log, line.data() + half, 7), 7);
    ++appended;
  }
  close(log);
  EXPECT_EQ(done == pid ? WEXITSTATUS(wait_status) : wait_for(pid), 0);
  const std::string hst = read_file(dir_ / "g.HST");
  ASSERT_EQ((hst.size() - 82) % 32, 0u);
  EXPECT_GE(hst.size(), 82 + 32 * 200'000u);
  for (size_t at = 82; at < hst.size(); at += 32) {
    ASSERT_EQ(std::make_tuple(f64(hst, at + 8), f64(hst, at + 16), f64(hst, at + 24)),
              std::make_tuple(7777.0, 88.0, 999.0))
        << "record " << (at - 82) / 32;
  }
  RecordProperty("lines_appended_while_running", appended);
#endif
}

TEST_F(FaultTest, ReadsA50MegabyteLineInBoundedMemory) {
  write_file(dir_ / "huge.HDR", "1\nV\n");
  write_file(dir_ / "small.HDR", "1\nV\n");
  write_file(dir_ / "small.txt", "05/03/2015 10:20:31\t         2\n");
  std::string data = "05/03/2015 10:20:30";
  data.append(50u << 20, '7');
  data += "\n05/03/2015 10:20:31\t         2\n";
  write_file(dir_ / "huge.txt", data);
  data.clear();
  data.shrink_to_fit();
  const auto [small_status, small_kib] = run_measured({"small.txt"});
  const auto [status, peak_kib] = run_measured({"huge.txt"});
  EXPECT_EQ(small_status, 0);
  EXPECT_EQ(status, 0);
  const std::string hst = read_file(dir_ / "huge.HST");
  ASSERT_EQ(hst.size(), 74u + 16);
  EXPECT_EQ(f64(hst, 74 + 8), 2.0);
  // The long line costs no more than the fixed buffers; memory tools and
  // sanitizers only add their own size, the same for both runs.
  EXPECT_LT(peak_kib - small_kib, 40 * 1024);
  if (memory_measured_as_built()) {
    EXPECT_LT(peak_kib, 40 * 1024);
  }
  RecordProperty("peak_kib", static_cast<int>(peak_kib));
}

TEST_F(FaultTest, RandomTagHeadersEitherConvertOrKeepTheOldHistoryFile) {
  std::mt19937 random(4711);
  write_file(dir_ / "r.txt", "05/03/2015 10:20:30\t       1.5\t        -2\n");
  const std::string prefixes[] = {"", "250\n", "3\n", "1\r\n", "65537\n"};
  for (int i = 0; i < 25; ++i) {
    const std::string header = prefixes[i % 5] + random_bytes(random, 1 + random() % 40'000);
    write_file(dir_ / "r.HDR", header);
    write_file(dir_ / "r.HST", "precious");
    const RunResult r = run({"r.txt"});
    const std::string hst = read_file(dir_ / "r.HST");
    if (r.status == 0) {
      ASSERT_GE(hst.size(), 70u) << i;
      EXPECT_EQ(hst[0], 3) << i;
      EXPECT_EQ(hst.size(), header_length(hst) + record_length(hst)) << i;
      EXPECT_EQ(record_length(hst), 8u + 8u * static_cast<unsigned char>(hst[68])) << i;
      continue;
    }
    EXPECT_EQ(r.status, 1) << i;
    const bool reported = r.out.find("Invalid tag count in file: r.HDR") != std::string::npos ||
                          r.out.find("Tag name too long in file: r.HDR") != std::string::npos ||
                          r.out.find("Tag list too long in file: r.HDR") != std::string::npos;
    EXPECT_TRUE(reported) << i << r.out;
    EXPECT_EQ(hst, "precious") << i;
  }
}

TEST_F(FaultTest, TakesEachTagNameUpToItsFirstBlank) {
  write_file(dir_ / "w.txt", "05/03/2015 10:20:30\n");
  std::string unbroken = "250\n", broken = "250\n";
  for (int i = 0; i < 250; ++i) {
    unbroken += std::string(10'000, 'n') + "\n";
    // "n100n" to "n124n", then a blank and the rest of the line.
    broken += 'n';
    broken += std::to_string(1000 + i).substr(0, 3);
    broken += "n " + std::string(9'994, 'x') + "\n";
  }
  write_file(dir_ / "w.HDR", unbroken);
  write_file(dir_ / "w.HST", "precious");
  RunResult r = run({"w.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("\n    Tag name too long in file: w.HDR\n"), std::string::npos);
  EXPECT_EQ(read_file(dir_ / "w.HST"), "precious");

  write_file(dir_ / "w.HDR", broken);
  r = run({"w.txt"});
  EXPECT_EQ(r.status, 0);
  const std::string hst = read_file(dir_ / "w.HST");
  ASSERT_EQ(hst.size(), 70u + 250 * 8 + 8 + 250 * 8);
  EXPECT_EQ(hst.substr(70, 16), "n100n\t \tn100n\t \t");
  EXPECT_EQ(hst.substr(70 + 249 * 8, 8), "n124n\t \t");
}

// A history file that could not be written in place is not replaced either:
// the run says so right after naming it, before any tag.
TEST_F(FaultTest, RefusesAHistoryFileThatCannotBeWrittenInPlace) {
  SKIP_ON_WINDOWS("symbolic links need a privilege there, and /dev/null is not there");
  fs::create_directories(dir_ / "d.HST");
  fs::create_symlink("loop.HST", dir_ / "loop.HST");
  fs::create_symlink("/dev/null", dir_ / "dev.HST");
  for (const std::string stem : {"d", "loop", "dev"}) {
    write_file(dir_ / (stem + ".HDR"), "1\nV\n");
    write_file(dir_ / (stem + ".txt"), "05/03/2015 10:20:30\t1\n");
    const RunResult r = run({stem + ".txt"});
    EXPECT_EQ(r.status, 1) << stem;
    EXPECT_EQ(r.out, kBanner + "\n* Creating file " + stem +
                         ".HST\n    Could not create file: " + stem + ".HST\n\n\n")
        << stem;
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "d.HST"));
  EXPECT_EQ(fs::read_symlink(dir_ / "dev.HST"), "/dev/null");
  EXPECT_EQ(hidden_files(dir_), std::vector<std::string>{});
}

TEST_F(FaultTest, RefusesWhatIsNoFileAndKeepsTheOldHistoryFile) {
  SKIP_ON_WINDOWS("symbolic links need a privilege there, and /dev/zero is not there");
  fs::create_directories(dir_ / "dir.txt");
  write_file(dir_ / "dir.HDR", "0\n");
  write_file(dir_ / "hdr.txt", "05/03/2015 10:20:30\n");
  fs::create_directories(dir_ / "hdr.HDR");
  write_file(dir_ / "nohdr.txt", "05/03/2015 10:20:30\n");
  write_file(dir_ / "dev.HDR", "0\n");
  fs::create_symlink("/dev/zero", dir_ / "dev.txt");
  write_file(dir_ / "devhdr.txt", "05/03/2015 10:20:30\n");
  fs::create_symlink("/dev/zero", dir_ / "devhdr.HDR");
  const struct {
    std::string arg;
    int status;
    std::string message;
  } cases[] = {
      {"dir.txt", 1, "    Could not open file: dir.txt\n"},
      {"hdr.txt", 1, "    Could not open file: hdr.HDR\n"},
      {"nohdr.txt", 1, "    Could not open file: nohdr.HDR\n"},
      {"dev.txt", 1, "    Could not open file: dev.txt\n"},
      {"devhdr.txt", 1, "    Could not open file: devhdr.HDR\n"},
      {"gone.txt", 1, "Cannot found file gone.txt !"},
  };
  for (const auto& c : cases) {
    const fs::path history = dir_ / (c.arg.substr(0, c.arg.find('.')) + ".HST");
    write_file(history, "precious");
    const RunResult r = run({c.arg});
    EXPECT_EQ(r.status, c.status) << c.arg;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.arg << r.out;
    EXPECT_EQ(read_file(history), "precious") << c.arg;
  }
}

// A named pipe is no regular file: it is refused at once instead of waiting
// for a writer, and a stop signal ends the run in any case.
TEST_F(FaultTest, RefusesANamedPipePromptly) {
  SKIP_ON_WINDOWS("named pipes are not files in a folder there");
#if !TAGPRESS_TESTS_ON_WINDOWS
  ASSERT_EQ(mkfifo((dir_ / "pipe.txt").c_str(), 0600), 0);
  write_file(dir_ / "pipe.HDR", "0\n");
  write_file(dir_ / "hdr.txt", "05/03/2015 10:20:30\n");
  ASSERT_EQ(mkfifo((dir_ / "hdr.HDR").c_str(), 0600), 0);
  for (const std::string arg : {"pipe.txt", "hdr.txt"}) {
    const int null_fd = open_output("/dev/null");
    const pid_t pid = spawn(dir_, {arg}, null_fd);
    close(null_fd);
    int status = 0;
    pid_t done = 0;
    for (int wait_ms = 0; wait_ms < 2000 && done == 0; wait_ms += 10) {
      usleep(10'000);
      done = waitpid(pid, &status, WNOHANG);
    }
    if (done == 0) {
      kill(pid, SIGTERM);
      usleep(200'000);
      done = waitpid(pid, &status, WNOHANG);
      ADD_FAILURE() << arg << ": still waiting on the pipe after 2 s"
                    << (done == 0 ? ", and SIGTERM did not end it" : "");
      if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
      }
      continue;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << arg;
  }
#endif
}

}  // namespace
}  // namespace e2e
