// Buffered writing to standard output that notices when the output goes away.
//
// Text is collected in one fixed-size buffer and written when it fills. A
// reader that closed the pipe stops the output quietly; any other
// write error is remembered for one message at the end.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/platform.h"

constexpr size_t kOutputBufferSize = 64 * 1024;

struct OutputBuffer {
  FileHandle file = standard_output();
  std::unique_ptr<char[]> data = std::make_unique<char[]>(kOutputBufferSize);
  size_t used = 0;
  bool pipe_closed = false;  // the reader went away; nothing more is written
  int error = 0;             // the system's code for a failed write, 0 while none failed
};

// True once nothing more can be written (closed pipe or write error).
inline bool output_stopped(const OutputBuffer& out) {
  return out.pipe_closed || out.error != 0;
}

// Appends `text`, writing out the buffer whenever it fills. Does nothing
// after the output stopped.
void output_write(OutputBuffer& out, std::string_view text);

// Writes out everything buffered, retrying after interruptions. Returns false
// when the output stopped.
bool output_flush(OutputBuffer& out);

// Writes `text` to standard error as it is.
void write_error_text(std::string_view text);

// Writes "hstdump: " + `message` + LF to standard error in one piece.
void report_error(std::string_view message);
