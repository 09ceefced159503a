#include "history/history_file.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "common/console.h"
#include "common/write_fully.h"

namespace {

constexpr int kMaxSymbolicLinks = 40;
constexpr char kTempSuffix[] = ".XXXXXX";
constexpr size_t kTempSuffixLength = sizeof kTempSuffix - 1;

void store_le16(std::string& out, size_t offset, uint16_t v) {
  out[offset] = static_cast<char>(v & 0xFF);
  out[offset + 1] = static_cast<char>(v >> 8);
}

void report_write_failure(HistoryWriter& w) {
  if (!w.failed) console_message("\n    Could not write file: ", w.path, "\n");
  w.failed = true;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file that writing to `path` would reach: `path` itself, or the end of
// its chain of symbolic links (which need not exist yet). False for a loop.
bool resolve_links(const std::string& path, std::string& target) {
  target = path;
  for (int hops = 0; hops < kMaxSymbolicLinks; ++hops) {
    struct stat info;
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    std::string link(static_cast<size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<size_t>(n) >= link.size()) return false;
    link.resize(static_cast<size_t>(n));
    target = link[0] == '/' ? link : folder_of(target) + "/" + link;
  }
  return false;
}

// A hidden name beside `target` for mkstemp: ".NAME.XXXXXX", with NAME cut
// short where the whole would exceed the folder's name limit.
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

// Closes and removes the temporary file, if any.
void remove_temp(HistoryWriter& w) {
  if (w.fd >= 0) ::close(w.fd);
  w.fd = -1;
  if (!w.temp_path.empty()) ::unlink(w.temp_path.c_str());
  w.temp_path.clear();
}

}  // namespace

size_t tag_list_length(const TagTable& tags) {
  size_t length = 0;
  for (int i = 0; i < tags.count; ++i) length += tags.name_length[i] + kTagNameTerminatorLength;
  return length;
}

void encode_history_header(const TagTable& tags, std::string& out) {
  const size_t list_length = tag_list_length(tags);
  const size_t start = out.size();
  out.append(kHistoryFixedHeaderSize, '\0');
  store_le16(out, start + 0, kHistoryFormatCode);
  store_le16(out, start + 2, static_cast<uint16_t>(kHistoryFixedHeaderSize + list_length));
  store_le16(out, start + 4, static_cast<uint16_t>(history_record_length(tags.count)));
  store_le16(out, start + 6, static_cast<uint16_t>(list_length));
  store_le16(out, start + 68, static_cast<uint16_t>(tags.count));
  for (int i = 0; i < tags.count; ++i) {
    out.append(tag_name(tags, i));
    out.append(kTagNameTerminator, kTagNameTerminatorLength);
  }
}

bool create_history_file(const std::string& path, const TagTable& tags, HistoryWriter& w) {
  w = HistoryWriter{};
  w.path = path;
  struct stat existing;
  const bool resolved = resolve_links(path, w.target_path);
  const bool replaces = resolved && ::stat(w.target_path.c_str(), &existing) == 0;
  // What could not be opened for writing in place is refused, although a
  // rename could replace it: a link loop, a directory, a device, a read-only file.
  const bool refused = !resolved || (replaces && !S_ISREG(existing.st_mode)) ||
                       (replaces && ::access(w.target_path.c_str(), W_OK) != 0);
  std::string temp = temp_template(w.target_path);
  if (!refused) w.fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (w.fd < 0) {
    console_message("    Could not create file: ", path, "\n");
    return false;
  }
  w.temp_path = temp;
  if (replaces) {
    // Keep the replaced file's owner where allowed, and its permission bits.
    if (::fchown(w.fd, existing.st_uid, existing.st_gid) != 0) {
      // Not permitted for another user's file: the new file is ours.
    }
    ::fchmod(w.fd, existing.st_mode & 07777);
  } else {
    ::fchmod(w.fd, 0666 & ~current_umask());
  }

  std::string header;
  encode_history_header(tags, header);
  w.record_length = history_record_length(tags.count);
  if (write_fully(w.fd, header.data(), header.size()) != 0) {
    report_write_failure(w);
    remove_temp(w);
    return false;
  }
  return true;
}

void write_records(HistoryWriter& w, const unsigned char* data, size_t size) {
  if (w.failed || size == 0) return;
  if (write_fully(w.fd, data, size) != 0) report_write_failure(w);
}

bool commit_history(HistoryWriter& w) {
  if (w.fd < 0) return false;
  bool ok = !w.failed;
  const int fd = w.fd;
  w.fd = -1;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(w.temp_path.c_str(), w.target_path.c_str()) != 0) ok = false;
  if (!ok) {
    report_write_failure(w);
    remove_temp(w);
    return false;
  }
  w.temp_path.clear();
  return true;
}

void discard_history(HistoryWriter& w) {
  remove_temp(w);
}
