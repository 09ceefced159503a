// clang-format off
#include <windows.h>
#include <psapi.h>  // after windows.h, whose types it uses
// clang-format on
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <sys/stat.h>

#include <random>

#include "platform/child_console_for_tests_win32.h"
#include "platform/child_process_for_tests.h"
#include "platform/win32_text.h"

namespace {

// `word` quoted as the C runtime of the child splits its command line: within quotes,
// backslashes double before a quote and before the closing quote.
std::wstring quoted(const std::wstring& word) {
  if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos) return word;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : word) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

// This process's environment with TZ set to `tz`, or without TZ.
std::wstring environment_with(const std::optional<std::string>& tz) {
  std::wstring block;
  wchar_t* const strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
    if (_wcsnicmp(entry, L"TZ=", 3) != 0) block.append(entry).push_back(L'\0');
  }
  FreeEnvironmentStringsW(strings);
  if (tz) block.append(L"TZ=" + wide_text(*tz)).push_back(L'\0');
  return block.push_back(L'\0'), block;
}

// An inheritable copy of `h` for a child, or null for none.
HANDLE inheritable(HANDLE h) {
  HANDLE copy = nullptr;
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return nullptr;
  DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, TRUE,
                  DUPLICATE_SAME_ACCESS);
  return copy;
}

HANDLE descriptor_handle(int descriptor) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

pid_t start(const std::string& dir, const std::vector<std::string>& words, int out_fd,
            const std::optional<std::string>& tz, int err_fd, DWORD flags) {
  std::wstring command;
  for (const std::string& word : words)
    command += (command.empty() ? L"" : L" ") + quoted(wide_text(word));
  std::wstring environment = environment_with(tz);
  const HANDLE null_input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable(null_input);
  startup.hStdOutput = out_fd >= 0 ? inheritable(descriptor_handle(out_fd)) : nullptr;
  startup.hStdError =
      inheritable(err_fd >= 0 ? descriptor_handle(err_fd) : GetStdHandle(STD_ERROR_HANDLE));
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                      CREATE_UNICODE_ENVIRONMENT | flags, environment.data(),
                                      wide_text(dir).c_str(), &startup, &process);
  EXPECT_TRUE(started) << words[0] << ": error " << GetLastError();
  for (const HANDLE h : {null_input, startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  if (!started) return -1;
  CloseHandle(process.hThread);
  return reinterpret_cast<pid_t>(process.hProcess);
}

}  // namespace

pid_t start_child(const std::string& dir, const std::vector<std::string>& words, int out_fd,
                  const std::optional<std::string>& tz, int err_fd) {
  return start(dir, words, out_fd, tz, err_fd, 0);
}

int wait_for_child(pid_t child, long* peak_rss_kib) {
  const HANDLE process = reinterpret_cast<HANDLE>(child);
  if (child == -1) return 1000;
  WaitForSingleObject(process, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process, &status);
  if (peak_rss_kib != nullptr) {
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    *peak_rss_kib = K32GetProcessMemoryInfo(process, &memory, sizeof memory)
                        ? static_cast<long>(memory.PeakWorkingSetSize / 1024)
                        : 0;
  }
  CloseHandle(process);
  return static_cast<int>(status);
}

TerminalRun run_child_on_terminal(const std::string&, const std::vector<std::string>&) {
  ADD_FAILURE() << "Windows has no pseudo-terminal for a test to read";
  return {-1, ""};
}

int open_output(const std::string& path) {
  const std::string name = path == "/dev/null" ? "NUL" : path;
  return _wopen(wide_text(name).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
}

bool make_pipe(int descriptors[2]) {
  return _pipe(descriptors, 1 << 16, _O_BINARY | _O_NOINHERIT) == 0;
}

std::string make_temp_folder(const std::string& prefix) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0) return "";
  const std::string folder = utf8_text(std::wstring_view(temp, length));
  std::mt19937 random(std::random_device{}() ^ GetCurrentProcessId() ^ GetTickCount());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = folder + prefix;
    for (int i = 0; i < 6; ++i) path += "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
    if (CreateDirectoryW(wide_text(path).c_str(), nullptr)) return path;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return "";
}

pid_t start_child_in_console(const std::string& dir, const std::vector<std::string>& words) {
  std::wstring command;
  for (const std::string& word : words) {
    command += (command.empty() ? L"" : L" ") + quoted(wide_text(word));
  }
  std::wstring environment = environment_with("UTC");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                     CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_CONSOLE, environment.data(),
                     wide_text(dir).c_str(), &startup, &process);
  EXPECT_TRUE(started) << words[0] << ": error " << GetLastError();
  if (!started) return -1;
  CloseHandle(process.hThread);
  return reinterpret_cast<pid_t>(process.hProcess);
}

bool interrupt_child_console(pid_t child) {
  const HANDLE process = reinterpret_cast<HANDLE>(child);
  FreeConsole();
  // A child that has only just started may not have its console yet: try again until it has
  // one or has ended, for at most about ten seconds.
  for (int attempt = 0; !AttachConsole(GetProcessId(process)); ++attempt) {
    if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0) return true;  // it has ended already
    if (attempt == 1000) return false;
  }
  SetConsoleCtrlHandler(nullptr, TRUE);  // this process stays
  const bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
  FreeConsole();
  SetConsoleCtrlHandler(nullptr, FALSE);
  return sent;
}
