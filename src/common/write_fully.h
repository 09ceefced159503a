// Writing a whole buffer to a file descriptor.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes [data, data + size) to `fd`, going on after partial writes and
// interruptions, and adds every byte that got out to `written`. Returns 0, or
// the errno of the failure that stopped it (EIO for a write of nothing).
int write_fully(int fd, const void* data, size_t size, uint64_t& written);

// write_fully when the count is not needed.
inline int write_fully(int fd, const void* data, size_t size) {
  uint64_t written = 0;
  return write_fully(fd, data, size, written);
}
