#include "common/file_names.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

size_t extension_dot(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  const size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  const size_t dot = path.find_last_of('.');
  return dot == std::string_view::npos || dot < name_start ? std::string_view::npos : dot;
}

bool has_extension(std::string_view path, std::string_view extension) {
  const size_t dot = extension_dot(path);
  if (dot == std::string_view::npos || path.size() - dot - 1 != extension.size()) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (size_t i = 0; i < extension.size(); ++i) {
    if (lower(path[dot + 1 + i]) != lower(extension[i])) return false;
  }
  return true;
}

std::string tag_header_to_read(const std::string& header) {
  struct stat info;
  if (!has_extension(header, "HDR") || ::stat(header.c_str(), &info) == 0 || errno != ENOENT) {
    return header;
  }
  const std::string lower = header.substr(0, header.size() - 3) + "hdr";
  const int fd = open_regular_file(lower, info);
  if (fd < 0) return header;
  ::close(fd);
  return lower;
}

int open_regular_file(const std::string& path, struct stat& info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}
