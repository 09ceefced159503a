// The operating-system calls on POSIX systems (Linux first): descriptors, stat, signals, glob.
#include <errno.h>
#include <fcntl.h>
#include <glob.h>
#include <limits.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <initializer_list>

#include "platform/platform.h"

namespace {

constexpr int kMaxSymbolicLinks = 40;
constexpr char kTempSuffix[] = ".XXXXXX";
constexpr size_t kTempSuffixLength = sizeof kTempSuffix - 1;
// How far the written data of a replacement may run ahead of their started write-back.
constexpr uint64_t kWriteBackStep = uint64_t{8} << 20;

volatile std::sig_atomic_t recorded_stop_signal = 0;

int descriptor(FileHandle file) {
  return static_cast<int>(file.native);
}

FileHandle handle(int fd) {
  return FileHandle{fd};
}

void record_stop_signal(int signal_number) {
  if (recorded_stop_signal == 0) recorded_stop_signal = signal_number;
}

void ignore_signal(int signal_number) {
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(signal_number, &ignore, nullptr);
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file that writing to `path` would reach, in `target`: `path` itself, or the end of its
// chain of symbolic links (which need not exist yet). Fails on a loop or an unreadable link.
SysResult resolve_links(const std::string& path, std::string& target) {
  target = path;
  for (int hops = 0; hops < kMaxSymbolicLinks; ++hops) {
    struct stat info;
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return {};
    std::string link(static_cast<size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0) return {errno};
    if (static_cast<size_t>(n) >= link.size()) return {ENAMETOOLONG};  // it grew meanwhile
    link.resize(static_cast<size_t>(n));
    target = link[0] == '/' ? link : folder_of(target) + "/" + link;
  }
  return {ELOOP};
}

// A hidden name beside `target` for mkostemp: ".NAME.XXXXXX", with NAME cut short where the
// whole would exceed the folder's name limit.
std::string temp_template(const std::string& target) {
  const std::string folder = folder_of(target);
  const size_t slash = target.rfind('/');
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  if (limit <= 0) limit = NAME_MAX;
  const size_t room = static_cast<size_t>(limit) - 1 - kTempSuffixLength;
  if (name.size() > room) name.resize(room);
  const std::string prefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  return prefix + "." + name + kTempSuffix;
}

mode_t current_umask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// Why an existing target may not be replaced: it is no regular file or may not be written.
ReplaceResult check_target(const std::string& target, const struct stat& existing) {
  if (!S_ISREG(existing.st_mode)) {
    return {ReplaceStep::kNotRegular, S_ISDIR(existing.st_mode) ? EISDIR : 0};
  }
  if (::access(target.c_str(), W_OK) != 0) return {ReplaceStep::kNotWritable, errno};
  return {};
}

// Gives the new file the replaced file's owner where allowed, and its permission bits; a new
// file gets 0666 less the umask, as a file created in the usual way does.
void carry_over_mode(int fd, const struct stat* existing) {
  if (existing == nullptr) {
    ::fchmod(fd, 0666 & ~current_umask());
    return;
  }
  if (::fchown(fd, existing->st_uid, existing->st_gid) != 0) {
    // Not permitted for another user's file: the new file is ours.
  }
  ::fchmod(fd, existing->st_mode & 07777);
}

// Flushes the folder `folder` so that a rename in it survives a power failure. Failures are
// not reported: the rename has happened, and some file systems cannot flush a folder.
void flush_folder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string error_text(int error) {
  return std::strerror(error);
}

// --- standard streams

FileHandle standard_output() {
  return handle(STDOUT_FILENO);
}

FileHandle standard_error() {
  return handle(STDERR_FILENO);
}

FileHandle handle_of_descriptor(int fd) {
  return handle(fd);
}

void keep_standard_streams_taken() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1) {
      const int null_fd = ::open("/dev/null", O_RDWR);
      if (null_fd >= 0 && null_fd != fd) ::close(null_fd);
    }
  }
}

bool is_terminal(FileHandle file) {
  return ::isatty(descriptor(file)) == 1;
}

void wait_for_key_before_own_console_closes() {}

// --- paths

std::string_view folder_separators() {
  return "/";
}

bool is_absolute_path(std::string_view path) {
  return !path.empty() && path[0] == '/';
}

std::filesystem::file_status path_status(const std::string& path, std::error_code& error) {
  return std::filesystem::status(path, error);
}

// --- reading files

OpenedFile open_for_reading(const std::string& path) {
  OpenedFile opened;
  // O_NONBLOCK keeps the open of a pipe without a writer from waiting; regular files ignore it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    opened.fault = OpenFault::kOpen;
    opened.error = errno;
    return opened;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    opened.fault = OpenFault::kStatus;
    opened.error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    opened.fault = OpenFault::kDirectory;
  } else if (!S_ISREG(info.st_mode)) {
    opened.fault = OpenFault::kNotRegular;
  }
  if (opened.fault != OpenFault::kNone) {
    ::close(fd);
    return opened;
  }
  opened.file = handle(fd);
  opened.identity =
      FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  opened.size = static_cast<uint64_t>(info.st_size);
  return opened;
}

SysResult identity_of(const std::string& path, FileIdentity& identity) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return {errno};
  identity = FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  return {};
}

SizeResult read_some(FileHandle file, void* data, size_t size) {
  for (;;) {
    const ssize_t n = ::read(descriptor(file), data, size);
    if (n >= 0) return {static_cast<size_t>(n), 0};
    if (errno != EINTR) return {0, errno};
  }
}

SizeResult read_at(FileHandle file, void* data, size_t size, uint64_t offset) {
  char* const into = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n =
        ::pread(descriptor(file), into + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return {done, errno};
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return {done, 0};
}

SysResult write_all(FileHandle file, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(descriptor(file), p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return {errno};
    }
    if (n == 0) return {EIO};
    p += n;
    size -= static_cast<size_t>(n);
  }
  return {};
}

SysResult close_file(FileHandle& file) {
  if (!is_open(file)) return {};
  const int fd = descriptor(file);
  file = FileHandle{};
  if (::close(fd) != 0) return {errno};
  return {};
}

// --- replacing a file atomically

ReplaceResult begin_replacement(const std::string& path, Replacement& r) {
  r = Replacement{};
  if (const SysResult links = resolve_links(path, r.target); links.error != 0) {
    return {ReplaceStep::kLinks, links.error};
  }
  // What could not be opened for writing in place is refused, although a rename could
  // replace it: a directory, a device, a read-only file.
  struct stat existing;
  const bool replaces = ::stat(r.target.c_str(), &existing) == 0;
  if (replaces) {
    if (const ReplaceResult refused = check_target(r.target, existing);
        refused.failed != ReplaceStep::kNone) {
      return refused;
    }
  }
  std::string temp = temp_template(r.target);
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return {ReplaceStep::kCreate, errno};
  r.file = handle(fd);
  r.temporary = temp;
  carry_over_mode(fd, replaces ? &existing : nullptr);
  return {};
}

SysResult write_replacement(Replacement& r, const void* data, size_t size) {
  const SysResult written = write_all(r.file, data, size);
  if (written.error != 0) return written;
  r.written += size;
#ifdef SYNC_FILE_RANGE_WRITE  // Linux
  if (r.written - r.written_back >= kWriteBackStep) {
    // Only a hint: the flush in commit_replacement reports what did not reach the disk.
    ::sync_file_range(descriptor(r.file), static_cast<off_t>(r.written_back),
                      static_cast<off_t>(r.written - r.written_back), SYNC_FILE_RANGE_WRITE);
    r.written_back = r.written;
  }
#endif
  return {};
}

ReplaceResult commit_replacement(Replacement& r) {
  ReplaceResult result;
  if (is_open(r.file) && ::fdatasync(descriptor(r.file)) != 0) {
    result = {ReplaceStep::kFlush, errno};
  } else if (const SysResult closed = close_file(r.file); closed.error != 0) {
    result = {ReplaceStep::kClose, closed.error};
  } else if (::rename(r.temporary.c_str(), r.target.c_str()) != 0) {
    result = {ReplaceStep::kRename, errno};
  } else {
    r.temporary.clear();
    flush_folder(folder_of(r.target));
  }
  discard_replacement(r);
  return result;
}

void discard_replacement(Replacement& r) {
  close_file(r.file);
  if (!r.temporary.empty()) ::unlink(r.temporary.c_str());
  r.temporary.clear();
}

// --- signals and processes

void install_stop_handlers() {
  struct sigaction action = {};
  action.sa_handler = record_stop_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
  ignore_closed_pipes();
  ignore_signal(SIGXFSZ);
}

int stop_signal_number() {
  return recorded_stop_signal;
}

void ignore_closed_pipes() {
  ignore_signal(SIGPIPE);
}

bool is_closed_pipe(int error) {
  return error == EPIPE;
}

int cpu_count() {
  cpu_set_t cpus;
  if (sched_getaffinity(0, sizeof cpus, &cpus) != 0) return 1;
  return std::max(CPU_COUNT(&cpus), 1);
}

std::optional<std::string> environment_variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// --- file names

std::vector<std::string> expand_file_pattern(const std::string& pattern) {
  std::vector<std::string> found;
  glob_t matches = {};
  if (::glob(pattern.c_str(), 0, nullptr, &matches) == 0) {
    found.assign(matches.gl_pathv, matches.gl_pathv + matches.gl_pathc);
  }
  ::globfree(&matches);
  std::sort(found.begin(), found.end());
  return found;
}

// --- local time

void load_local_time_rules() {
  tzset();
}

std::string local_time_rules_notice() {
  return "";
}

int32_t local_offset_at(int64_t utc_seconds) {
  const time_t t = static_cast<time_t>(utc_seconds);
  struct tm fields;
  if (localtime_r(&t, &fields) == nullptr) return 0;
  return static_cast<int32_t>(fields.tm_gmtoff);
}

std::string default_zone_folder() {
  return "/usr/share/zoneinfo";
}
