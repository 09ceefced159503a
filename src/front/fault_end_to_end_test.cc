// Runs the built tagpress on hostile inputs and interrupts it at random
// moments: it must never crash, must answer with its message and exit status,
// must keep memory bounded, and must never leave a history file that holds
// anything but its header and whole records.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <random>

#include "front/end_to_end_harness.h"

namespace e2e {
namespace {

constexpr size_t kMaxLine = 1'048'576;

class FaultTest : public TagpressTest {
 protected:
  // Runs to the end with output to /dev/null; the exit status and the peak
  // resident size of the child in KiB.
  std::pair<int, long> run_measured(const std::vector<std::string>& args) {
    const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = spawn(dir_, args, null_fd);
    close(null_fd);
    long peak_rss_kib = 0;
    const int status = wait_for(pid, &peak_rss_kib);
    return {status, peak_rss_kib};
  }
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

bool under_wrapper() {
  return std::getenv("TAGPRESS_TEST_WRAPPER") != nullptr;
}

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

TEST_F(FaultTest, StopSignalsAtRandomMomentsLeaveWholeRecordsOfTheCompleteRun) {
  write_file(dir_ / "s.HDR", "2\nA\nB\n");
  write_file(dir_ / "s.txt", big_log(600'000));
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(run({"s.txt"}).status, 0);
  const auto full_run = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
  const std::string complete = read_file(dir_ / "s.HST");
  const size_t header = 70 + 8, record = 24;
  ASSERT_EQ(complete.size(), header + 600'000 * record);

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  // Moments from the start of the process to a little past the end of a complete run.
  std::uniform_int_distribution<long> moment(0, full_run + full_run / 10);
  const int signals[] = {SIGTERM, SIGINT, SIGHUP};
  int interrupted = 0;
  for (int i = 0; i < 60; ++i) {
    const int signal_number = signals[i % 3];
    const std::string before = read_file(dir_ / "s.HST");
    const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = spawn(dir_, {"s.txt"}, null_fd);
    close(null_fd);
    usleep(static_cast<useconds_t>(moment(random)));
    kill(pid, signal_number);
    const int status = wait_for(pid);
    const std::string after = read_file(dir_ / "s.HST");
    if (status >= 1000) {
      // Killed before its handlers were in place: nothing was touched.
      EXPECT_EQ(status, 1000 + signal_number) << i;
      EXPECT_EQ(after, before) << i;
      continue;
    }
    if (status == 0) {
      EXPECT_EQ(after, complete) << i;  // finished before the signal arrived
      continue;
    }
    ++interrupted;
    EXPECT_EQ(status, 128 + signal_number) << i;
    ASSERT_GE(after.size(), header) << i;
    EXPECT_EQ((after.size() - header) % record, 0u) << i;
    EXPECT_EQ(after.compare(0, after.size(), complete, 0, after.size()), 0) << i;
  }
  // Most moments fall within the run; a handful at least must have stopped it.
  EXPECT_GE(interrupted, 6);
  RecordProperty("interrupted", interrupted);
  RecordProperty("full_run_us", static_cast<int>(full_run));
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
      {"nul", std::string(2'000'000, '\0'), 0, 0, "Skipped malformed lines: 1 (first at line 1)"},
      {"nul lines", std::string(1000, '\0') + "\n" + stamp + "\n" + std::string(10, '\0'), 1, 0,
       "Skipped malformed lines: 2 (first at line 1)"},
      {"longest", stamp + value + std::string(kMaxLine - 30, 'x') + "\n", 1, 1.5, ""},
      {"longest crlf", stamp + value + std::string(kMaxLine - 30, 'x') + "\r\n", 1, 1.5, ""},
      {"longest last", stamp + value + std::string(kMaxLine - 30, 'x'), 1, 1.5, ""},
      {"one too long", stamp + value + std::string(kMaxLine - 29, 'x') + "\n" + stamp + "\n", 1, 0,
       "Skipped malformed lines: 1 (first at line 1)"},
      {"one too long crlf", stamp + value + std::string(kMaxLine - 29, 'x') + "\r\n", 0, 0,
       "Skipped malformed lines: 1 (first at line 1)"},
      {"one too long last", stamp + value + std::string(kMaxLine - 29, 'x'), 0, 0,
       "Skipped malformed lines: 1 (first at line 1)"},
      {"too long with cr", stamp + value + std::string(kMaxLine - 30, 'x') + "\r", 0, 0,
       "Skipped malformed lines: 1 (first at line 1)"},
  };
  write_file(dir_ / "g.HDR", "1\nV\n");
  for (const auto& c : cases) {
    write_file(dir_ / "g.txt", c.data);
    const RunResult r = run({"g.txt"});
    EXPECT_EQ(r.status, 0) << c.name;
    if (c.skipped.empty()) {
      EXPECT_EQ(r.out.find("Skipped"), std::string::npos) << c.name;
    } else {
      EXPECT_NE(r.out.find("\n    " + c.skipped), std::string::npos) << c.name;
    }
    const std::string hst = read_file(dir_ / "g.HST");
    ASSERT_EQ(hst.size(), 74 + 16 * c.records) << c.name;
    if (c.records > 0) {
      EXPECT_EQ(f64(hst, 74 + 8), c.value) << c.name;
    }
  }
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
  if (!kSanitized && !under_wrapper()) {
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

TEST_F(FaultTest, RefusesWhatIsNoFileAndKeepsTheOldHistoryFile) {
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
  ASSERT_EQ(mkfifo((dir_ / "pipe.txt").c_str(), 0600), 0);
  write_file(dir_ / "pipe.HDR", "0\n");
  write_file(dir_ / "hdr.txt", "05/03/2015 10:20:30\n");
  ASSERT_EQ(mkfifo((dir_ / "hdr.HDR").c_str(), 0600), 0);
  for (const std::string arg : {"pipe.txt", "hdr.txt"}) {
    const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
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
}

}  // namespace
}  // namespace e2e
