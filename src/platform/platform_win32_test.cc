// What tagpress.exe does that only Windows asks of it: patterns the shell left unexpanded,
// names beyond code page 1252, Ctrl-C, a history file other programs hold or mark, and the
// system's own time zone.
#include <windows.h>

#include <chrono>
#include <thread>

#include "front/end_to_end_harness.h"
#include "platform/child_console_for_tests_win32.h"
#include "platform/platform.h"
#include "platform/replace_waits_win32.h"
#include "platform/win32_text.h"
#include "zone/windows_zone_names.h"

namespace e2e {
namespace {

const std::string kStamp = "05/03/2015 10:20:30";

// Names in `dir` that a run may have left behind: hidden temporary files.
std::vector<std::string> hidden_files(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = utf8_path(entry.path().filename());
    if (name[0] == '.' && name != ".stdout" && name != ".stderr") found.push_back(name);
  }
  return found;
}

class WindowsTest : public TagpressTest {
 protected:
  // Runs tagpress with TZ unset, so that it takes the system's zone.
  RunResult run_in_system_zone(const std::vector<std::string>& args) {
    const fs::path out_path = dir_ / ".stdout", err_path = dir_ / ".stderr";
    const int out = open_output(utf8_path(out_path)), err = open_output(utf8_path(err_path));
    const int status = wait_for(
        start_child(utf8_path(dir_), command_words(TAGPRESS_BINARY, args), out, std::nullopt, err));
    close(out);
    close(err);
    return {status, read_file(out_path), read_file(err_path)};
  }
};

TEST_F(WindowsTest, ExpandsPatternsAndTakesAnyName) {
  fs::create_directories(dir_ / "sub");
  const std::string unusual = "Messung \xC3\xA4 \xD0\x96 \xE6\xB8\xA9\xE5\xBA\xA6";  // ä Ж 温度
  for (const std::string& stem :
       std::vector<std::string>{"b", "A", "c", ".hidden", "sub/d", unusual}) {
    write_file(path_of_utf8(utf8_path(dir_) + "/" + stem + ".HDR"), "1\nV\n");
    write_file(path_of_utf8(utf8_path(dir_) + "/" + stem + (stem == "c" ? ".TXT" : ".txt")),
               kStamp + "\t         1\n");
  }
  write_file(dir_ / "page.txtx", kStamp + "\n");
  write_file(dir_ / "old.HST", "");
  const std::string converted = "   Tag = V \n" + counter(1);
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> stems;  // converted, in this order
  } cases[] = {
      {{"*.txt"}, {"A", unusual, "b", "c"}},
      {{"?.tXt"}, {"A", "b", "c"}},
      {{"sub\\*.txt"}, {"sub\\d"}},
      {{"sub/?.txt", unusual + ".txt"}, {"sub/d", unusual}},
  };
  for (const auto& c : cases) {
    const RunResult r = run(c.args);
    std::string expected = kBanner;
    for (const std::string& stem : c.stems)
      expected += "\n* Creating file " + stem + ".HST\n" + converted;
    EXPECT_EQ(r.status, 0) << c.args[0];
    EXPECT_EQ(r.out, expected + "\n\n") << c.args[0];
  }
  const std::string hst = read_file(path_of_utf8(utf8_path(dir_) + "/" + unusual + ".HST"));
  ASSERT_EQ(hst.size(), 74u + 16);
  EXPECT_EQ(u64(hst, 74), ticks(2015, 3, 5, 10, 20, 30));
  EXPECT_FALSE(fs::exists(dir_ / ".hidden.HST"));
}

// Whatever moment Ctrl-C comes at, the old history file stays or the complete one is there.
TEST_F(WindowsTest, CtrlCKeepsTheOldHistoryFile) {
  write_file(dir_ / "s.HDR", "2\nA\nB\n");
  write_file(dir_ / "s.txt", big_log(600'000));
  ASSERT_EQ(run({"s.txt"}).status, 0);
  const std::string complete = read_file(dir_ / "s.HST");
  int interrupted = 0;
  for (int i = 0; i < 8; ++i) {
    write_file(dir_ / "s.HST", "older");
    const pid_t child = start_child_in_console(utf8_path(dir_), {TAGPRESS_BINARY, "s.txt"});
    // Ctrl-C before the program has begun is the system's to handle (wine ends the process
    // with status 0): wait until the temporary file shows that the run is under way.
    const HANDLE process = reinterpret_cast<HANDLE>(child);
    while (hidden_files(dir_).empty() && WaitForSingleObject(process, 2) == WAIT_TIMEOUT) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(40 * i));
    ASSERT_TRUE(interrupt_child_console(child));
    const int status = wait_for(child);
    EXPECT_EQ(hidden_files(dir_), std::vector<std::string>{}) << i;
    if (status == 0) {
      EXPECT_EQ(read_file(dir_ / "s.HST"), complete) << i;
      continue;
    }
    EXPECT_EQ(status, 130) << i;
    EXPECT_EQ(read_file(dir_ / "s.HST"), "older") << i;
    interrupted += status == 130;
  }
  EXPECT_GE(interrupted, 1);
}

// A history file another program reads is replaced, or kept whole with a message; one marked
// read-only is refused; attributes stay; a hard link to the data file is refused.
TEST_F(WindowsTest, ReplacesOnlyWhatMayBeReplaced) {
  write_file(dir_ / "h.HDR", "1\nV\n");
  write_file(dir_ / "h.txt", kStamp + "\t         1\n");
  ASSERT_EQ(run({"h.txt"}).status, 0);
  const std::string converted = read_file(dir_ / "h.HST");
  const std::wstring history = wide_text(utf8_path(dir_ / "h.HST"));
  const struct {
    const char* name;
    DWORD attributes;  // of the older file
    DWORD share;       // how a reader holds it open; 0: no reader
    bool refused;      // the run must fail; else it may, when Windows will not replace it
  } cases[] = {
      {"plain", FILE_ATTRIBUTE_NORMAL, 0, false},
      {"hidden, system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, 0, false},
      {"read-only", FILE_ATTRIBUTE_READONLY, 0, true},
      {"a sharing reader", FILE_ATTRIBUTE_NORMAL,
       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false},
      {"a reader that shares reading only", FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ, true},
  };
  for (const auto& c : cases) {
    SetFileAttributesW(history.c_str(), FILE_ATTRIBUTE_NORMAL);
    write_file(dir_ / "h.HST", "older");
    SetFileAttributesW(history.c_str(), c.attributes);
    const HANDLE reader = c.share == 0
                              ? INVALID_HANDLE_VALUE
                              : CreateFileW(history.c_str(), GENERIC_READ, c.share, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const RunResult r = run({"h.txt"});
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    EXPECT_EQ(hidden_files(dir_), std::vector<std::string>{}) << c.name;
    if (r.status == 0 && !c.refused) {
      EXPECT_EQ(read_file(dir_ / "h.HST"), converted) << c.name;
      // The system marks the new file for archiving, as any file written.
      constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
      EXPECT_EQ(GetFileAttributesW(history.c_str()) & kKept, c.attributes & kKept) << c.name;
      continue;
    }
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_NE(r.out.find("    Could not "), std::string::npos) << c.name << r.out;
    EXPECT_EQ(read_file(dir_ / "h.HST"), "older") << c.name;
  }
  SetFileAttributesW(history.c_str(), FILE_ATTRIBUTE_NORMAL);

  write_file(dir_ / "same.HDR", "0\n");
  write_file(dir_ / "same.HST", kStamp + "\n");
  ASSERT_TRUE(CreateHardLinkW(wide_text(utf8_path(dir_ / "same.txt")).c_str(),
                              wide_text(utf8_path(dir_ / "same.HST")).c_str(), nullptr));
  const RunResult same = run({"same.txt"});
  EXPECT_EQ(same.status, 1);
  EXPECT_NE(same.out.find("    Data file and history file are the same: same.txt\n"),
            std::string::npos);
  EXPECT_EQ(read_file(dir_ / "same.HST"), kStamp + "\n");
}

// The stand-in for MoveFileExW refuses `move_refusals` times with `move_error`, then renames;
// a stop signal arrives once the waits reach `stop_at_ms` (0: none arrives).
DWORD move_error = 0, slept_ms = 0, stop_at_ms = 0;
long move_refusals = 0;

// A rename refused while another program holds the history file is tried again, waiting 10 ms,
// then twice as long up to 100 ms a try, for 10 seconds in all, less after a stop signal; other
// refusals end it at once. The old file stays whenever the rename does not happen.
TEST_F(WindowsTest, RenameWaitsOutAProgramThatHoldsTheFile) {
  const struct {
    DWORD error;
    long refusals;
    DWORD stop_at_ms, slept_ms;
    bool renamed;
  } cases[] = {
      {ERROR_ACCESS_DENIED, 1, 0, 10, true},
      {ERROR_SHARING_VIOLATION, 3, 0, 10 + 20 + 40, true},
      {ERROR_LOCK_VIOLATION, 6, 0, 10 + 20 + 40 + 80 + 100 + 100, true},
      {ERROR_SHARING_VIOLATION, 1'000'000, 0, 10'000, false},
      {ERROR_LOCK_VIOLATION, 1'000'000, 25, 10 + 20, false},
      {ERROR_PATH_NOT_FOUND, 1, 0, 0, false},
  };
  ReplaceWaits waits;
  waits.move = [](LPCWSTR from, LPCWSTR to, DWORD flags) -> BOOL {
    if (move_refusals-- > 0) SetLastError(move_error);
    return move_refusals < 0 && MoveFileExW(from, to, flags);
  };
  waits.sleep = [](DWORD ms) { slept_ms += ms; };
  waits.stopped = [] { return stop_at_ms != 0 && slept_ms >= stop_at_ms ? SIGINT : 0; };
  set_replace_waits(waits);
  for (const auto& c : cases) {
    write_file(dir_ / "w.HST", "older");
    Replacement replacement;
    ASSERT_EQ(begin_replacement(utf8_path(dir_ / "w.HST"), replacement).failed, ReplaceStep::kNone);
    ASSERT_EQ(write_replacement(replacement, "newer", 5).error, 0);
    std::tie(move_error, move_refusals, slept_ms, stop_at_ms) =
        std::tuple(c.error, c.refusals, 0, c.stop_at_ms);
    const ReplaceResult result = commit_replacement(replacement);
    EXPECT_EQ(result.failed, c.renamed ? ReplaceStep::kNone : ReplaceStep::kRename) << c.error;
    EXPECT_EQ(slept_ms, c.slept_ms) << c.error << " x" << c.refusals;
    EXPECT_EQ(read_file(dir_ / "w.HST"), c.renamed ? "newer" : "older") << c.error;
    EXPECT_EQ(hidden_files(dir_), std::vector<std::string>{}) << c.error;
    EXPECT_EQ(error_text(result.error)
                  .starts_with("another program (a virus scanner, an indexer, "
                               "a sync client) held the file too long"),
              c.slept_ms == 10'000);
  }
  set_replace_waits(ReplaceWaits{});
}

// Without TZ the system's zone counts: through its tz database name when the zone files hold
// it, else through Windows' own rules, with a warning.
TEST_F(WindowsTest, TakesTheSystemZoneWithoutTz) {
  DYNAMIC_TIME_ZONE_INFORMATION zone;
  ASSERT_NE(GetDynamicTimeZoneInformation(&zone), TIME_ZONE_ID_INVALID);
  const std::string windows_name = utf8_text(zone.TimeZoneKeyName);
  const std::string iana_name(iana_name_for_windows_zone(windows_name));
  ASSERT_NE(iana_name, "") << windows_name;
  write_file(dir_ / "z.HDR", "0\n");
  write_file(dir_ / "z.txt",
             "15/01/1995 12:00:00\n15/07/1995 12:00:00\n15/01/2015 12:00:00\n"
             "15/07/2015 12:00:00\n");
  ASSERT_EQ(run({"z.txt"}, iana_name).status, 0);
  const std::string named = read_file(dir_ / "z.HST");

  const RunResult system = run_in_system_zone({"z.txt"});
  EXPECT_EQ(system.status, 0);
  EXPECT_EQ(system.err, "");
  EXPECT_EQ(read_file(dir_ / "z.HST"), named) << windows_name << " as " << iana_name;

  // No zone files: Windows' rules, which agree with the file's for this year's dates.
  fs::create_directories(dir_ / "empty");
  setenv("TZDIR", utf8_path(dir_ / "empty").c_str(), 1);
  const RunResult own = run_in_system_zone({"z.txt"});
  unsetenv("TZDIR");
  EXPECT_EQ(own.status, 0);
  EXPECT_EQ(own.err, "tagpress: no zone file " + utf8_path(dir_ / "empty") + "/" + iana_name +
                         " for the Windows time zone '" + windows_name +
                         "'; local times follow Windows' own rules, which may miss the changes "
                         "of past years\n");
  const std::string own_hst = read_file(dir_ / "z.HST");
  ASSERT_EQ(own_hst.size(), named.size());
  EXPECT_EQ(own_hst.substr(70 + 16), named.substr(70 + 16));  // the lines of 2015
}

}  // namespace
}  // namespace e2e
