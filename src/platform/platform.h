// Everything the programs ask of the operating system: files, the console, signals, the CPUs,
// file-name patterns, the environment and local time. The rest of the code is portable C++ and
// reaches the system only through these calls. Text, file names included, is UTF-8 throughout.
//
// A call that can fail reports the system's code for the failure (errno on POSIX, the code
// GetLastError gives on Windows) and, where it takes several steps, which step failed.
// error_text gives the system's words for a code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// An open file, or none (the default). Its value means something to this module only.
struct FileHandle {
  intptr_t native = -1;
};

// True when `file` refers to an open file.
inline bool is_open(FileHandle file) {
  return file.native != -1;
}

// A call that either succeeded (error 0) or failed with the system's code `error`.
struct SysResult {
  int error = 0;
};

// A read: `bytes` read, or the system's code `error` when it failed.
struct SizeResult {
  size_t bytes = 0;
  int error = 0;
};

// The system's text for the error code `error` ("No such file or directory"). On Windows the
// codes that have a POSIX counterpart read as on Linux.
std::string error_text(int error);

// --- standard streams

// The process's standard output.
FileHandle standard_output();

// The process's standard error.
FileHandle standard_error();

// The file behind a C library descriptor (the fileno of a FILE, say). Not owned.
FileHandle handle_of_descriptor(int descriptor);

// Makes sure standard input, output and error are open (on the null device when they were
// closed), so that no file opened later takes their place and receives the console's text.
void keep_standard_streams_taken();

// True when `file` is a terminal (a console window).
bool is_terminal(FileHandle file);

// When the process has a console window of its own, which closes with it (a file dropped onto
// the program in Explorer), asks for a key so that its last messages can be read. Does nothing
// when the program was started from a console or a script, after a stop, and on POSIX.
void wait_for_key_before_own_console_closes();

// --- paths

// The characters that end a folder name in a path: "/" on POSIX, "/\\" on Windows.
std::string_view folder_separators();

// True when `path` does not depend on the current folder ("/x"; on Windows also "\\x", "C:\\x").
bool is_absolute_path(std::string_view path);

// What std::filesystem::status says of `path`, with the path read as UTF-8 on every system.
std::filesystem::file_status path_status(const std::string& path, std::error_code& error);

// --- reading files

// Tells files apart: two paths lead to the same file exactly when their identities are equal.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// Why open_for_reading gave no file.
enum class OpenFault : uint8_t {
  kNone,
  kOpen,        // the system would not open the path; `error` says why
  kStatus,      // the opened file's status could not be read; `error` says why
  kDirectory,   // the path names a directory
  kNotRegular,  // the path names a pipe, a device or another special file
};

// What open_for_reading found.
struct OpenedFile {
  FileHandle file;  // open when `fault` is kNone; the caller closes it
  OpenFault fault = OpenFault::kNone;
  int error = 0;  // the system's code for kOpen and kStatus
  FileIdentity identity;
  uint64_t size = 0;  // bytes in the file when it was opened
};

// Opens `path` (after its symbolic links) for reading, shared with other readers and writers,
// when it is a regular file. Anything else is closed again and refused, and a named pipe
// without a writer is refused at once instead of waited for.
OpenedFile open_for_reading(const std::string& path);

// The identity of the file that `path` leads to (after its symbolic links) in `identity`;
// fails when there is none (a missing file, say).
SysResult identity_of(const std::string& path, FileIdentity& identity);

// Reads up to `size` bytes into `data` with one read, again after an interruption by a signal.
// 0 bytes and no error: the end of the file.
SizeResult read_some(FileHandle file, void* data, size_t size);

// Reads `size` bytes at `offset` into `data`, fewer only at the end of the file, without moving
// the file position.
SizeResult read_at(FileHandle file, void* data, size_t size, uint64_t offset);

// Writes all of [data, data + size), going on after partial writes and interruptions. A write
// that takes nothing fails with EIO.
SysResult write_all(FileHandle file, const void* data, size_t size);

// Closes `file`, if open, and marks it closed.
SysResult close_file(FileHandle& file);

// Closes the file it holds when it goes out of scope.
struct OwnedFile {
  FileHandle handle;
  OwnedFile() = default;
  explicit OwnedFile(FileHandle file) : handle(file) {}
  OwnedFile(const OwnedFile&) = delete;
  OwnedFile& operator=(const OwnedFile&) = delete;
  ~OwnedFile() { close_file(handle); }
};

// --- replacing a file atomically

// The step at which replacing a file failed.
enum class ReplaceStep : uint8_t {
  kNone,
  kLinks,        // the path's symbolic links loop, or one could not be read
  kNotRegular,   // the file to replace is a directory, a device or another special file
  kNotWritable,  // the file to replace may not be written
  kCreate,       // the temporary file could not be created
  kFlush,        // the temporary file's data could not be written through to the disk
  kClose,        // the temporary file could not be closed (its data did not all get out)
  kRename,       // the temporary file could not be put in place of the file to replace
};

// What a step of a replacement did: `failed` is kNone, or the step that failed with the
// system's code `error` (0 for a refusal the system did not report).
struct ReplaceResult {
  ReplaceStep failed = ReplaceStep::kNone;
  int error = 0;
};

// A new file being written under a hidden temporary name beside the file it is to replace.
struct Replacement {
  FileHandle file;            // the temporary file, open for writing
  std::string target;         // the file replaced: the path, or where its symbolic links lead
  std::string temporary;      // the temporary file while it exists
  uint64_t written = 0;       // bytes written through write_replacement
  uint64_t written_back = 0;  // of those, bytes whose write-back to the disk has been started
};

// Starts replacing `path`. The target is `path` or the end of its chain of symbolic links (which
// need not exist). A target that exists must be a regular file that may be written. The
// temporary file ".NAME.XXXXXX" is created beside the target (NAME cut short to keep within the
// folder's limit for names) with the target's owner where allowed and its permission bits, or
// 0666 less the umask for a new file. On failure nothing is left behind.
ReplaceResult begin_replacement(const std::string& path, Replacement& replacement);

// Writes all of [data, data + size) to the temporary file, as write_all does. On Linux it starts
// the write-back of every few MiB behind the writer, so that commit_replacement's flush finds
// little left to wait for.
SysResult write_replacement(Replacement& replacement, const void* data, size_t size);

// Flushes the temporary file's data to the disk (fdatasync, FlushFileBuffers), closes it and
// renames it over the target; on POSIX the folder is flushed after the rename, so that the
// rename too survives a power failure. A power failure at any moment thus leaves the old target
// (or none) or the complete new one. On Windows a rename refused because another program holds
// the target (a virus scanner, an indexer, a sync client) is tried again for up to 10 seconds,
// less when a stop signal arrives. On failure the temporary file is removed and the target
// stays as it was.
ReplaceResult commit_replacement(Replacement& replacement);

// Closes and removes the temporary file; the target stays as it was. Harmless when nothing is
// open.
void discard_replacement(Replacement& replacement);

// --- signals and processes

// Records SIGINT, SIGTERM and SIGHUP for stop_signal_number instead of ending the process, and
// ignores SIGPIPE (as ignore_closed_pipes) and SIGXFSZ, so that a write beyond the file-size limit
// fails like any other instead of ending the process without a word. On Windows, Ctrl-C,
// Ctrl-Break and closing the console window are recorded as SIGINT.
void install_stop_handlers();

// The number of the first stop signal received since install_stop_handlers, 0 while none has
// arrived.
int stop_signal_number();

// Makes a write to a pipe whose reader has gone fail (see is_closed_pipe) instead of ending the
// process.
void ignore_closed_pipes();

// True when the error code `error` of a write says that the reader of the pipe has gone.
bool is_closed_pipe(int error);

// The number of CPUs this process may run on; 1 when the system does not say.
int cpu_count();

// The value of the environment variable `name`, or none when it is not set.
std::optional<std::string> environment_variable(const char* name);

// --- file names

// The paths that the wildcard pattern `pattern` ("*", "?", "[...]") matches, sorted byte by
// byte; none when nothing matches.
std::vector<std::string> expand_file_pattern(const std::string& pattern);

// True when `argument` holds a '*' or a '?': a name that, where no path of that name exists,
// stands for the paths expand_file_pattern finds.
bool is_file_pattern(std::string_view argument);

// --- local time

// Reads the system's time-zone setting again: TZ, else the system's zone (/etc/localtime through
// the C library on POSIX; the Windows zone's tz database file, else its own rules, on Windows).
void load_local_time_rules();

// What the user should know about the rules load_local_time_rules found (on Windows, that the
// system zone's own rules stand in for a missing zone file); empty when nothing.
std::string local_time_rules_notice();

// The offset from UTC in seconds (local = utc + offset) that the system's zone has at the UTC
// instant `utc_seconds` (seconds since 1970-01-01); 0 when the system cannot say. Safe to call
// from several threads at once.
int32_t local_offset_at(int64_t utc_seconds);

// The folder of zone files when TZDIR is unset: /usr/share/zoneinfo on POSIX, the folder
// `zoneinfo` beside the program on Windows.
std::string default_zone_folder();

// True when `path` is a regular file that opens for reading and starts as TZif data does.
bool is_tzif_file(const std::string& path);
