#include "common/console.h"

#include <cstring>

namespace {

constexpr size_t kBufferSize = 64 * 1024;

struct Console {
  FileHandle file = standard_output();
  bool terminal = false;
  bool broken = false;     // a write failed for good; further output is dropped
  bool line_open = false;  // the last text did not end with a line feed
  size_t used = 0;
  char buffer[kBufferSize];
};

Console console;

void write_out(const char* data, size_t size) {
  if (!console.broken && write_all(console.file, data, size).error != 0) console.broken = true;
}

}  // namespace

void console_open(FileHandle file) {
  console.file = file;
  console.terminal = is_terminal(file);
  console.broken = false;
  console.used = 0;
  console.line_open = false;
}

bool console_is_terminal() {
  return console.terminal;
}

void console_write(std::string_view text) {
  if (console.broken || text.empty()) return;
  console.line_open = text.back() != '\n';
  if (text.size() > kBufferSize - console.used) {
    console_flush();
    if (text.size() > kBufferSize) {
      write_out(text.data(), text.size());
      return;
    }
  }
  std::memcpy(console.buffer + console.used, text.data(), text.size());
  console.used += text.size();
}

char* console_room(size_t size) {
  if (size > kBufferSize - console.used) console_flush();
  return console.buffer + console.used;
}

void console_commit(size_t size) {
  if (console.broken || size == 0) return;
  console.used += size;
  console.line_open = true;
}

void console_message(std::string_view a, std::string_view b, std::string_view c) {
  console_write(a);
  console_write(b);
  console_write(c);
  if (console.terminal) console_flush();
}

bool console_line_open() {
  return console.line_open;
}

void console_flush() {
  write_out(console.buffer, console.used);
  console.used = 0;
}
