#include "output_buffer.h"

#include <algorithm>
#include <cstring>
#include <string>

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
  const int error = write_all(out.file, out.data.get(), out.used).error;
  out.used = 0;
  if (is_closed_pipe(error)) {
    out.pipe_closed = true;
  } else if (error != 0) {
    out.error = error;
  }
  return !output_stopped(out);
}

void write_error_text(std::string_view text) {
  write_all(standard_error(), text.data(), text.size());
}

void report_error(std::string_view message) {
  std::string line = "hstdump: ";
  line.append(message);
  line += '\n';
  write_error_text(line);
}
