#include "common/write_fully.h"

#include <errno.h>
#include <unistd.h>

int write_fully(int fd, const void* data, size_t size, uint64_t& written) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    p += n;
    size -= static_cast<size_t>(n);
    written += static_cast<uint64_t>(n);
  }
  return 0;
}
