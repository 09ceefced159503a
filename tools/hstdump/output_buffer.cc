#include "output_buffer.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Writes [data, data + size) completely. Returns 0, or the errno of the failure.
int write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace

void output_write(OutputBuffer& out, std::string_view text) {
  while (!text.empty() && !output_stopped(out)) {
    if (out.used == kOutputBufferSize && !output_flush(out)) return;
    const size_t n = std::min(text.size(), kOutputBufferSize - out.used);
    std::memcpy(out.data.get() + out.used, text.data(), n);
    out.used += n;
    text.remove_prefix(n);
  }
}

bool output_flush(OutputBuffer& out) {
  if (output_stopped(out)) return false;
  const int error = write_all(out.fd, out.data.get(), out.used);
  out.used = 0;
  if (error == EPIPE) {
    out.pipe_closed = true;
  } else if (error != 0) {
    out.error = error;
  }
  return !output_stopped(out);
}

void write_error_text(std::string_view text) {
  write_all(2, text.data(), text.size());
}

void report_error(std::string_view message) {
  std::string line = "hstdump: ";
  line.append(message);
  line += '\n';
  write_error_text(line);
}
