// The operating-system calls on Windows: handles, UTF-16 file names, the console and its
// control events. Local time is in local_time_win32.cc.
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cwctype>
#include <random>

#include "platform/platform.h"
#include "platform/replace_waits_win32.h"
#include "platform/win32_text.h"

namespace {

// More than any single ReadFile or WriteFile is asked to move.
constexpr DWORD kMostBytesPerCall = 1u << 30;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Longest file name NTFS and FAT keep, in UTF-16 units.
constexpr size_t kMostNameUnits = 255;
constexpr wchar_t kTempSuffixLetters[] =
    L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kTempSuffixLength = 6;
// ERROR_DIRECTORY_NOT_SUPPORTED, which older headers lack: the path names a folder.
constexpr DWORD kErrorIsFolder = 336;

// An error code of this program's own (bit 29 marks those): the rename waited for the whole of
// ReplaceWaits::total_ms while another program held the target.
constexpr DWORD kErrorHeldTooLong = 0x20000001;

std::atomic<int> recorded_stop_signal{0};
ReplaceWaits replace_waits;
// The console window is going away (closed, log-off, shut-down): no key is waited for.
std::atomic<bool> console_closing{false};

HANDLE native(FileHandle file) {
  return reinterpret_cast<HANDLE>(file.native);
}

FileHandle handle(HANDLE h) {
  return FileHandle{reinterpret_cast<intptr_t>(h)};
}

int last_error() {
  return static_cast<int>(GetLastError());
}

bool is_console(HANDLE h) {
  DWORD mode;
  return GetConsoleMode(h, &mode) != 0;
}

// Where `path` (UTF-8, either separator) splits into its folder with the separator and its name.
size_t name_start(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  if (separator != std::string::npos) return separator + 1;
  return path.size() >= 2 && path[1] == ':' ? 2 : 0;  // "C:name"
}

// Opens `path` with `access`, shared with everyone, following links; directories too.
HANDLE open_existing(const std::string& path, DWORD access) {
  return CreateFileW(wide_text(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

FileIdentity identity_from(const BY_HANDLE_FILE_INFORMATION& info) {
  return FileIdentity{info.dwVolumeSerialNumber,
                      uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

// The file writing to `path` reaches: where its symbolic links lead when it is one that leads
// somewhere, else `path` itself.
std::string resolve_links(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wide_text(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return path;
  }
  const HANDLE h = open_existing(path, 0);
  if (h == INVALID_HANDLE_VALUE) return path;
  std::wstring final_path(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(h, final_path.data(), MAX_PATH, FILE_NAME_NORMALIZED);
  if (length >= MAX_PATH) {
    final_path.resize(length);
    length = GetFinalPathNameByHandleW(h, final_path.data(), length, FILE_NAME_NORMALIZED);
  }
  CloseHandle(h);
  if (length == 0 || length >= final_path.size()) return path;
  final_path.resize(length);
  return utf8_text(final_path);
}

// Why an existing target may not be replaced: it is no regular file, or may not be written
// (read-only, or held by a program that lets no one else write it).
ReplaceResult check_target(const std::string& target, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {ReplaceStep::kNotRegular, static_cast<int>(kErrorIsFolder)};
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return {ReplaceStep::kNotWritable, ERROR_ACCESS_DENIED};
  }
  const HANDLE h = open_existing(target, GENERIC_WRITE);
  if (h == INVALID_HANDLE_VALUE) return {ReplaceStep::kNotWritable, last_error()};
  const DWORD type = GetFileType(h);
  CloseHandle(h);
  if (type != FILE_TYPE_DISK) return {ReplaceStep::kNotRegular, 0};
  return {};
}

// A hidden temporary name beside `target`: ".NAME.XXXXXX", NAME cut short to keep within the
// longest name a folder holds.
std::wstring temp_name(const std::string& target, std::mt19937& random) {
  const size_t start = name_start(target);
  std::wstring name = wide_text(std::string_view(target).substr(start));
  const size_t room = kMostNameUnits - 1 - 1 - kTempSuffixLength;
  if (name.size() > room) {
    name.resize(room);
    if (IS_HIGH_SURROGATE(name.back())) name.pop_back();
  }
  std::uniform_int_distribution<size_t> letter(0, std::size(kTempSuffixLetters) - 2);
  std::wstring suffix = L".";
  for (int i = 0; i < kTempSuffixLength; ++i) suffix += kTempSuffixLetters[letter(random)];
  return wide_text(std::string_view(target).substr(0, start)) + L"." + name + suffix;
}

// Gives the new file the attributes of the file it replaces, or those of a file created in
// the usual way; it is no longer hidden.
void carry_over_attributes(HANDLE h, const std::string& target) {
  DWORD attributes = GetFileAttributesW(wide_text(target).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) attributes = FILE_ATTRIBUTE_ARCHIVE;
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes =
      attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
}

// True when `name` matches `pattern` ('*' any run of characters, '?' one), letters compared
// without case as Windows does. Names are compared here because FindFirstFileW also matches
// the short 8.3 names ("*.htm" finds "page.html" through "PAGE~1.HTM").
bool matches(std::wstring_view pattern, std::wstring_view name) {
  size_t p = 0, n = 0, star = std::wstring_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == L'?' || std::towlower(pattern[p]) == std::towlower(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::wstring_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

// Records a console control event as SIGINT. When the console itself goes away, the handler
// keeps the process alive until the run has ended (the system ends it after a few seconds).
BOOL WINAPI record_console_event(DWORD event) {
  int expected = 0;
  recorded_stop_signal.compare_exchange_strong(expected, SIGINT);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    console_closing = true;
    Sleep(INFINITE);
  }
  return TRUE;
}

// Words for the codes that have a POSIX counterpart, as strerror gives them on Linux.
const char* posix_words(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return "No such file or directory";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "Permission denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "No space left on device";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return "Cannot allocate memory";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return "File exists";
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return "Broken pipe";
    case kErrorIsFolder:
      return "Is a directory";
    case ERROR_FILENAME_EXCED_RANGE:
      return "File name too long";
    case ERROR_CANT_RESOLVE_FILENAME:
      return "Too many levels of symbolic links";
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
      return "Input/output error";
    case kErrorHeldTooLong:
      return "another program (a virus scanner, an indexer, a sync client) held the file too long "
             "to replace it; the old file is unchanged";
    default:
      return nullptr;
  }
}

// True when `error` may mean that another program has the file open for a moment.
bool held_by_another_program(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
         error == ERROR_LOCK_VIOLATION;
}

// Calls `attempt` (true on success, else GetLastError tells why) again while it fails because
// another program holds the file, waiting 10 ms, then longer, up to `waits.longest_ms` a try,
// for up to `total_ms` in all; a stop signal ends the waiting at once. Returns 0 on success,
// kErrorHeldTooLong when the time ran out, else the error of the last attempt.
template <typename Attempt>
DWORD retry_while_held(Attempt attempt, DWORD total_ms, const ReplaceWaits& waits) {
  DWORD waited = 0, wait = waits.first_ms;
  for (;;) {
    if (attempt()) return 0;
    const DWORD error = GetLastError();
    if (!held_by_another_program(error) || waits.stopped() != 0) return error;
    if (waited >= total_ms) return kErrorHeldTooLong;
    const DWORD now = std::min(wait, total_ms - waited);
    waits.sleep(now);
    waited += now;
    wait = std::min(wait * 2, waits.longest_ms);
  }
}

// Removes the temporary file `temporary`, waiting briefly for a program that holds it.
void remove_temporary(const std::string& temporary, const ReplaceWaits& waits) {
  const std::wstring name = wide_text(temporary);
  retry_while_held([&] { return waits.remove(name.c_str()) != 0; }, waits.remove_total_ms, waits);
}

}  // namespace

void set_replace_waits(const ReplaceWaits& waits) {
  replace_waits = waits;
}

std::string error_text(int error) {
  const DWORD code = static_cast<DWORD>(error);
  if (const char* words = posix_words(code)) return words;
  wchar_t* message = nullptr;
  const DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD length = FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (length == 0) {
    length =
        FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  }
  std::string text;
  if (length > 0) {
    std::wstring_view words(message, length);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' ||
                              words.back() == L'.' || words.back() == L' ')) {
      words.remove_suffix(1);
    }
    text = utf8_text(words);
  }
  LocalFree(message);
  return text.empty() ? "Windows error " + std::to_string(code) : text;
}

// --- standard streams

FileHandle standard_output() {
  return handle(GetStdHandle(STD_OUTPUT_HANDLE));
}

FileHandle standard_error() {
  return handle(GetStdHandle(STD_ERROR_HANDLE));
}

FileHandle handle_of_descriptor(int descriptor) {
  return FileHandle{_get_osfhandle(descriptor)};
}

void keep_standard_streams_taken() {
  // Handles are not numbers that a file opened later could take over: a closed standard
  // stream stays closed, and writes to it fail.
}

bool is_terminal(FileHandle file) {
  return is_console(native(file));
}

void wait_for_key_before_own_console_closes() {
  DWORD processes[2];
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (GetConsoleProcessList(processes, 2) != 1 || !is_console(input) || console_closing ||
      recorded_stop_signal != 0) {
    return;
  }
  const std::string prompt = "\nPress any key to close this window . . .";
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), prompt.data(), static_cast<DWORD>(prompt.size()),
            &written, nullptr);
  FlushConsoleInputBuffer(input);
  for (INPUT_RECORD record; !console_closing;) {
    DWORD read = 0;
    if (!ReadConsoleInputW(input, &record, 1, &read) || read == 0) break;
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) break;
  }
}

// --- paths

std::string_view folder_separators() {
  return "/\\";
}

bool is_absolute_path(std::string_view path) {
  const auto separator = [](char c) { return c == '/' || c == '\\'; };
  if (!path.empty() && separator(path[0])) return true;
  return path.size() >= 3 && path[1] == ':' && separator(path[2]);
}

std::filesystem::file_status path_status(const std::string& path, std::error_code& error) {
  return std::filesystem::status(std::filesystem::path(wide_text(path)), error);
}

// --- reading files

OpenedFile open_for_reading(const std::string& path) {
  OpenedFile opened;
  const HANDLE h = open_existing(path, GENERIC_READ);
  if (h == INVALID_HANDLE_VALUE) {
    opened.fault = OpenFault::kOpen;
    opened.error = last_error();
    return opened;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(h) != FILE_TYPE_DISK) {
    opened.fault = OpenFault::kNotRegular;
  } else if (!GetFileInformationByHandle(h, &info)) {
    opened.fault = OpenFault::kStatus;
    opened.error = last_error();
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    opened.fault = OpenFault::kDirectory;
  }
  if (opened.fault != OpenFault::kNone) {
    CloseHandle(h);
    return opened;
  }
  opened.file = handle(h);
  opened.identity = identity_from(info);
  opened.size = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  return opened;
}

SysResult identity_of(const std::string& path, FileIdentity& identity) {
  const HANDLE h = open_existing(path, 0);
  if (h == INVALID_HANDLE_VALUE) return {last_error()};
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = GetFileInformationByHandle(h, &info);
  const int error = known ? 0 : last_error();
  CloseHandle(h);
  if (known) identity = identity_from(info);
  return {error};
}

SizeResult read_some(FileHandle file, void* data, size_t size) {
  DWORD got = 0;
  if (ReadFile(native(file), data, static_cast<DWORD>(std::min<size_t>(size, kMostBytesPerCall)),
               &got, nullptr)) {
    return {got, 0};
  }
  const DWORD error = GetLastError();
  // A pipe whose writer has gone has come to its end.
  if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return {0, 0};
  return {0, static_cast<int>(error)};
}

SizeResult read_at(FileHandle file, void* data, size_t size, uint64_t offset) {
  // A positioned read moves the file position of a synchronous handle: it is put back.
  LARGE_INTEGER position = {}, zero = {};
  SetFilePointerEx(native(file), zero, &position, FILE_CURRENT);
  char* const into = static_cast<char*>(data);
  size_t done = 0;
  int error = 0;
  while (done < size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    if (!ReadFile(native(file), into + done,
                  static_cast<DWORD>(std::min<size_t>(size - done, kMostBytesPerCall)), &got,
                  &at)) {
      if (GetLastError() != ERROR_HANDLE_EOF) error = last_error();
      break;
    }
    if (got == 0) break;
    done += got;
  }
  SetFilePointerEx(native(file), position, nullptr, FILE_BEGIN);
  return {done, error};
}

SysResult write_all(FileHandle file, const void* data, size_t size) {
  const HANDLE h = native(file);
  // A console shows characters: the UTF-8 text goes to it as UTF-16, whatever its code page.
  if (is_console(h)) {
    const std::wstring text = wide_text(std::string_view(static_cast<const char*>(data), size));
    DWORD written;
    if (!text.empty() &&
        !WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
      return {last_error()};
    }
    return {};
  }
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(h, p, static_cast<DWORD>(std::min<size_t>(size, kMostBytesPerCall)), &written,
                   nullptr)) {
      return {last_error()};
    }
    if (written == 0) return {ERROR_WRITE_FAULT};
    p += written;
    size -= written;
  }
  return {};
}

SysResult close_file(FileHandle& file) {
  if (!is_open(file)) return {};
  const HANDLE h = native(file);
  file = FileHandle{};
  if (!CloseHandle(h)) return {last_error()};
  return {};
}

// --- replacing a file atomically

ReplaceResult begin_replacement(const std::string& path, Replacement& r) {
  r = Replacement{};
  r.target = resolve_links(path);
  // What could not be opened for writing in place is refused, although a rename could
  // replace it: a folder, a device, a read-only file, a file another program keeps to itself.
  const DWORD attributes = GetFileAttributesW(wide_text(r.target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (const ReplaceResult refused = check_target(r.target, attributes);
        refused.failed != ReplaceStep::kNone) {
      return refused;
    }
  }
  std::mt19937 random(std::random_device{}() ^ GetCurrentProcessId() ^ GetTickCount());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring temp = temp_name(r.target, random);
    const HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      r.file = handle(h);
      r.temporary = utf8_text(temp);
      return {};
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return {ReplaceStep::kCreate, last_error()};
}

SysResult write_replacement(Replacement& r, const void* data, size_t size) {
  // Windows starts no write-back early: FlushFileBuffers in commit_replacement does it all.
  return write_all(r.file, data, size);
}

ReplaceResult commit_replacement(Replacement& r) {
  ReplaceResult result;
  if (is_open(r.file)) carry_over_attributes(native(r.file), r.target);
  if (is_open(r.file) && !FlushFileBuffers(native(r.file))) {
    result = {ReplaceStep::kFlush, last_error()};
  } else if (const SysResult closed = close_file(r.file); closed.error != 0) {
    result = {ReplaceStep::kClose, closed.error};
  } else {
    const std::wstring from = wide_text(r.temporary), to = wide_text(r.target);
    const ReplaceWaits& waits = replace_waits;
    bool read_only = false;
    const DWORD error = retry_while_held(
        [&] {
          if (waits.move(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
          }
          // A target made read-only meanwhile stays refused: no waiting changes that.
          const DWORD refused = GetLastError();
          const DWORD attributes = GetFileAttributesW(to.c_str());
          if (refused == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
              (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            read_only = true;
            SetLastError(ERROR_FILE_READ_ONLY);
          } else {
            SetLastError(refused);
          }
          return false;
        },
        waits.total_ms, waits);
    if (error != 0) {
      result = {ReplaceStep::kRename, static_cast<int>(read_only ? ERROR_ACCESS_DENIED : error)};
    } else {
      r.temporary.clear();
    }
  }
  discard_replacement(r);
  return result;
}

void discard_replacement(Replacement& r) {
  close_file(r.file);
  if (!r.temporary.empty()) remove_temporary(r.temporary, replace_waits);
  r.temporary.clear();
}

// --- signals and processes

void install_stop_handlers() {
  // Ctrl-C may reach the program even when whoever started it chose to ignore it, as a signal
  // handler does on POSIX.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(record_console_event, TRUE);
}

int stop_signal_number() {
  return recorded_stop_signal;
}

void ignore_closed_pipes() {
  // Windows has no signal for it: the write fails with ERROR_NO_DATA or ERROR_BROKEN_PIPE.
}

bool is_closed_pipe(int error) {
  return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE;
}

int cpu_count() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  return std::max(__builtin_popcountll(process), 1);
}

std::optional<std::string> environment_variable(const char* name) {
  const std::wstring wide_name = wide_text(name);
  std::wstring value(64, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableW(wide_name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < value.size()) {
      value.resize(length);
      return utf8_text(value);
    }
    value.resize(length);
  }
}

// --- file names

std::vector<std::string> expand_file_pattern(const std::string& pattern) {
  const size_t start = name_start(pattern);
  const std::string folder = pattern.substr(0, start);
  const std::wstring name_pattern = wide_text(std::string_view(pattern).substr(start));
  std::vector<std::string> found;
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileExW(wide_text(pattern).c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    const std::wstring_view name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    // A leading dot hides a name from patterns that do not start with one, as on POSIX (the
    // temporary file of a conversion under way, say).
    if (name[0] == L'.' && (name_pattern.empty() || name_pattern[0] != L'.')) continue;
    if (matches(name_pattern, name)) found.push_back(folder + utf8_text(name));
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  std::sort(found.begin(), found.end());
  return found;
}
