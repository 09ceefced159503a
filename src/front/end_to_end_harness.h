// Test support: runs the built tagpress in a temporary folder on real files.
//
// TAGPRESS_TEST_WRAPPER, when set, is a command (words separated by blanks,
// say "valgrind --error-exitcode=99 -q") that every run goes through.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/child_process_for_tests.h"
#include "platform/system_for_tests.h"

namespace e2e {

namespace fs = std::filesystem;

inline const std::string kBanner =
    "\nASCII File to History File Converter\ntagpress " TAGPRESS_VERSION
    " - converts measurement logs into history files\n";
inline const std::string kUsage =
    "\n\tUsage:\ttagpress <filename> [<separator>] [/e] [/i:HH:MM:SS] [/f:HH:MM:SS]\n"
    "\t\t<filename> = ASCII file with history data, e.g. 02950201.txt\n"
    "\t\t[<separator>] = Data separator character, defautt: \\t <TAB>\n"
    "\t\t[/e] = Extended functionality. Data value with more than 10 characteres\n"
    "\t\t[/i:HH:MM:SS] = Start time of data value. HH - hour, MM - minute, SS-Second\n"
    "\t\t[/f:HH:MM:SS] = Finsh time of data value. HH - hour, MM - minute, SS-Second\n";

// True when the programs carry a sanitizer (TAGPRESS_SANITIZE, or flags of
// one's own that the compiler tells of).
#if defined(TAGPRESS_SANITIZED) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

// False when the programs carry a sanitizer or run through
// TAGPRESS_TEST_WRAPPER: their peak memory then holds the tool's own
// bookkeeping, and only the difference between two runs says something.
inline bool memory_measured_as_built() {
  return !kSanitizedBuild && std::getenv("TAGPRESS_TEST_WRAPPER") == nullptr;
}

// What --help shows after the usage text.
inline const std::string kHelpMore =
    "\n\tMore:\t[/q] = Quiet: no line counter\n"
    "\t\t/e = delimited: values are split at the separator and may have any width;\n"
    "\t\t  without /e each value has 10 columns and one column between (fixed width)\n"
    "\t\tSeveral data files, or a pattern such as *.txt, convert one after the other;\n"
    "\t\t  .HDR and .HST files among them are passed over\n"
    "\t\tTZ = time zone of the times in the data file (default: the system's)\n"
    "\t\tTAGPRESS_THREADS = threads that convert a file (default: the CPUs, at most 16)\n"
    "\t\tProgress, tag names and failures go to standard output; warnings, and why a\n"
    "\t\t  run failed, to standard error\n"
    "\t\t\\t = TAB as the separator; --help, -h and --version work in any position\n"
    "\t\tLong options, anywhere after the data file:\n"
    "\t\t  --decimal-comma = ',' is the decimal point of values\n"
    "\t\t  --blanks = values split at runs of blanks and tabs (delimited)\n"
    "\t\t  --month-first = dates are MM/DD/YYYY\n"
    "\t\t  --nan = a value not in the line is written as NaN, not 0\n"
    "\t\t  --strict = a file that draws any warning is not converted\n"
    "\t\t  --quiet = the same as /q\n"
    "\t\tLines end at LF, CR LF, a lone CR or NUL bytes; UTF-16 files are read as such\n"
    "\t\tTimes may also be written HH:MM:SS,fff and 1:05:07 PM\n"
    "\t\tExit status: 0 converted, 1 a file failed or none was found, 255 usage,\n"
    "\t\t  128 + N stopped by signal N\n";

struct RunResult {
  int status;  // exit status, or 1000 + the signal that killed the process
  std::string out;
  std::string err;  // standard error
};

inline std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// The counter pieces of a redirected run over `lines` lines.
inline std::string counter(int lines) {
  std::string out;
  for (int i = 1; i <= lines; ++i) out += "\r   Line = " + std::to_string(i) + "   ";
  return out;
}

// Little-endian 64-bit number at `offset`.
inline uint64_t u64(const std::string& bytes, size_t offset) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[offset + i]);
  return v;
}

inline double f64(const std::string& bytes, size_t offset) {
  const uint64_t bits = u64(bytes, offset);
  double v;
  std::memcpy(&v, &bits, 8);
  return v;
}

// Ticks of a UTC date and time, worked out by <chrono> rather than by the
// product's calendar code: 100 ns units since 1601-01-01 00:00.
inline uint64_t ticks(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
  using namespace std::chrono;
  using Ticks100ns = duration<int64_t, std::ratio<1, 10'000'000>>;
  const sys_time<milliseconds> instant = sys_days{std::chrono::year{year} / month / day} +
                                         hours{hour} + minutes{minute} + seconds{second} +
                                         milliseconds{ms};
  const Ticks100ns since_1601 = instant - sys_days{std::chrono::year{1601} / January / 1};
  return static_cast<uint64_t>(since_1601.count());
}

// A data file of `lines` one-second samples with two fixed-width values.
inline std::string big_log(int lines) {
  std::string out;
  out.reserve(static_cast<size_t>(lines) * 42);
  char line[64];
  for (int i = 0; i < lines; ++i) {
    std::snprintf(line, sizeof line, "%02d/01/2015 %02d:%02d:%02d\t%10.4f\t%10d\n", 1 + i / 86400,
                  i / 3600 % 24, i / 60 % 60, i % 60, i * 0.5, -i);
    out += line;
  }
  return out;
}

// `path` as UTF-8, whatever the system's own encoding of paths.
inline std::string utf8_path(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The path that the UTF-8 text `text` names.
inline fs::path path_of_utf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

// The command that runs `binary` with `args`, through TAGPRESS_TEST_WRAPPER when it is set.
inline std::vector<std::string> command_words(const std::string& binary,
                                              const std::vector<std::string>& args) {
  std::vector<std::string> words;
  if (const char* wrapper = std::getenv("TAGPRESS_TEST_WRAPPER")) {
    std::istringstream split(wrapper);
    for (std::string word; split >> word;) words.push_back(word);
  }
  words.push_back(binary);
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

// Starts `binary` with `args` in `dir` under time zone `tz`, its standard
// output on `out_fd` (-1: closed) and its standard error on `err_fd` (-1:
// inherited). Returns the child's process id.
inline pid_t spawn_program(const fs::path& dir, const std::string& binary,
                           const std::vector<std::string>& args, int out_fd,
                           const std::string& tz = "UTC", int err_fd = -1) {
  return start_child(utf8_path(dir), command_words(binary, args), out_fd, tz, err_fd);
}

// Starts tagpress; see spawn_program.
inline pid_t spawn(const fs::path& dir, const std::vector<std::string>& args, int out_fd,
                   const std::string& tz = "UTC", int err_fd = -1) {
  return spawn_program(dir, TAGPRESS_BINARY, args, out_fd, tz, err_fd);
}

// Waits for a spawned run; the exit status, or 1000 + the signal that killed
// it. With `peak_rss_kib`, also the child's peak resident size.
inline int wait_for(pid_t pid, long* peak_rss_kib = nullptr) {
  return wait_for_child(pid, peak_rss_kib);
}

// Runs tagpress in `dir` with its standard output on a new terminal (raw
// mode, so LF stays LF) and returns everything it showed there.
inline RunResult run_on_terminal(const fs::path& dir, const std::vector<std::string>& args) {
  const TerminalRun run =
      run_child_on_terminal(utf8_path(dir), command_words(TAGPRESS_BINARY, args));
  return {run.status, run.shown, ""};
}

// A fresh temporary folder per test, removed afterwards.
class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = path_of_utf8(make_temp_folder("tagpress_e2e_"));
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
};

// Runs tagpress in a fresh temporary folder.
class TagpressTest : public TempFolderTest {
 protected:
  // Runs tagpress to its end with standard output and standard error captured.
  RunResult run(const std::vector<std::string>& args, const std::string& tz = "UTC") {
    const fs::path out_path = dir_ / ".stdout", err_path = dir_ / ".stderr";
    const int fd = open_output(utf8_path(out_path));
    const int err_fd = open_output(utf8_path(err_path));
    const int status = wait_for(spawn(dir_, args, fd, tz, err_fd));
    close(fd);
    close(err_fd);
    RunResult result{status, read_file(out_path), read_file(err_path)};
    fs::remove(out_path);
    fs::remove(err_path);
    return result;
  }
};

}  // namespace e2e
