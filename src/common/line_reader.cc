#include "common/line_reader.h"

#include <errno.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr char kEndOfFile = 0x1A;

// Moves the unread bytes to the front and reads more behind them.
void refill(LineReader& r) {
  if (r.begin > 0) {
    std::memmove(r.buffer.get(), r.buffer.get() + r.begin, r.end - r.begin);
    r.end -= r.begin;
    r.begin = 0;
  }
  for (;;) {
    const ssize_t n = ::read(r.fd, r.buffer.get() + r.end, r.capacity - r.end);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      r.read_failed = true;
      r.at_eof = true;
      return;
    }
    if (n == 0) {
      r.at_eof = true;
      return;
    }
    char* fresh = r.buffer.get() + r.end;
    if (char* stop = static_cast<char*>(std::memchr(fresh, kEndOfFile, static_cast<size_t>(n)))) {
      r.end = static_cast<size_t>(stop - r.buffer.get());
      r.at_eof = true;
      return;
    }
    r.end += static_cast<size_t>(n);
    return;
  }
}

}  // namespace

void line_reader_init(LineReader& reader, int fd, size_t read_size) {
  reader = LineReader{};
  reader.fd = fd;
  // Room for the longest line, its CR and LF, and one full read.
  reader.capacity = kMaxLineLength + 2 + read_size;
  reader.buffer = std::make_unique_for_overwrite<char[]>(reader.capacity);
}

bool next_line(LineReader& r, Line& line) {
  for (;;) {
    char* const base = r.buffer.get();
    const size_t available = r.end - r.begin;
    char* const start = base + r.begin;
    char* const newline = static_cast<char*>(std::memchr(start, '\n', available));

    if (r.skipping) {
      // The head of an overlong line went out already; drop the rest of it.
      if (newline) {
        r.begin = static_cast<size_t>(newline + 1 - base);
        r.skipping = false;
        continue;
      }
      r.begin = r.end;
      if (r.at_eof) return false;
      refill(r);
      continue;
    }

    if (newline) {
      size_t size = static_cast<size_t>(newline - start);
      if (size > 0 && start[size - 1] == '\r') --size;
      r.begin = static_cast<size_t>(newline + 1 - base);
      line = Line{start, size, size > kMaxLineLength};
      if (line.too_long) line.size = kMaxLineLength;
      return true;
    }
    if (r.at_eof) {
      if (available == 0) return false;
      // A last line without a line end; a CR there is an ordinary character.
      r.begin = r.end;
      line = Line{start, available, available > kMaxLineLength};
      if (line.too_long) line.size = kMaxLineLength;
      return true;
    }
    if (available > kMaxLineLength + 1) {
      // Longer than any valid line even if it ends in CR LF: hand out its head,
      // then skip to its end.
      line = Line{start, kMaxLineLength, true};
      r.begin = r.end;
      r.skipping = true;
      return true;
    }
    refill(r);
  }
}
