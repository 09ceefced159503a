#include "common/line_reader.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "common/text_scan.h"

namespace {

// Moves the unread bytes to the front and reads more behind them.
void refill(LineReader& r) {
  if (r.begin > 0) {
    std::memmove(r.buffer.get(), r.buffer.get() + r.begin, r.end - r.begin);
    r.end -= r.begin;
    r.begin = 0;
  }
  r.end += read_text(r.fd, r.buffer.get() + r.end, r.capacity - r.end, r.at_eof, r.read_failed);
}

// The next unread byte, reading more when needed; -1 at the end of the file.
int peek_byte(LineReader& r) {
  if (r.begin == r.end) {
    if (r.at_eof) return -1;
    refill(r);
    if (r.begin == r.end) return -1;
  }
  return static_cast<unsigned char>(r.buffer[r.begin]);
}

// Editors on Windows start UTF-8 files with EF BB BF; it is no part of the text.
void skip_byte_order_mark(LineReader& r) {
  r.at_start = false;
  while (r.end - r.begin < 3 && !r.at_eof) refill(r);
  r.begin += byte_order_mark_length(r.buffer.get() + r.begin, r.end - r.begin);
}

}  // namespace

void line_reader_init(LineReader& reader, int fd, size_t read_size) {
  reader = LineReader{};
  reader.fd = fd;
  // Room for the longest line, its CR and LF, and one full read.
  reader.capacity = kMaxLineLength + 2 + read_size;
  reader.buffer = std::make_unique_for_overwrite<char[]>(reader.capacity);
}

size_t read_text(int fd, char* at, size_t room, bool& at_eof, bool& read_failed) {
  for (;;) {
    const ssize_t n = ::read(fd, at, room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) read_failed = true;
    if (n <= 0) {
      at_eof = true;
      return 0;
    }
    const size_t got = static_cast<size_t>(n);
    if (const void* stop = std::memchr(at, kEndOfFile, got)) {
      at_eof = true;
      return static_cast<size_t>(static_cast<const char*>(stop) - at);
    }
    return got;
  }
}

size_t byte_order_mark_length(const char* data, size_t size) {
  return size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

Line line_ending_at(char* start, char* newline) {
  size_t size = static_cast<size_t>(newline - start);
  if (size > 0 && start[size - 1] == '\r') --size;
  return Line{start, std::min(size, kMaxLineLength), size > kMaxLineLength};
}

Line last_line(char* start, size_t size) {
  return Line{start, std::min(size, kMaxLineLength), size > kMaxLineLength};
}

bool next_line(LineReader& r, Line& line) {
  if (r.at_start) skip_byte_order_mark(r);
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
      r.begin = static_cast<size_t>(newline + 1 - base);
      line = line_ending_at(start, newline);
      return true;
    }
    if (r.at_eof) {
      if (available == 0) return false;
      r.begin = r.end;
      line = last_line(start, available);
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

bool next_line_as_integer(LineReader& r, int32_t& value) {
  if (r.at_start) skip_byte_order_mark(r);
  int c = peek_byte(r);
  if (c < 0) return false;
  for (; c >= 0 && c != '\n' && is_space(static_cast<char>(c)); c = peek_byte(r)) ++r.begin;
  // Sign and significant digits; leading zeros change nothing, and more
  // digits than these saturate anyway.
  char head[16];
  size_t used = 0;
  if (c == '+' || c == '-') {
    head[used++] = static_cast<char>(c);
    ++r.begin;
  }
  for (c = peek_byte(r); c == '0'; c = peek_byte(r)) ++r.begin;
  for (; c >= 0 && is_digit(static_cast<char>(c)); c = peek_byte(r)) {
    if (used < sizeof head) head[used++] = static_cast<char>(c);
    ++r.begin;
  }
  value = read_saturated_int(head, head + used);
  // Drop the rest of the line, its line feed included.
  while (peek_byte(r) >= 0) {
    const char* start = r.buffer.get() + r.begin;
    const void* newline = std::memchr(start, '\n', r.end - r.begin);
    if (newline != nullptr) {
      r.begin += static_cast<size_t>(static_cast<const char*>(newline) - start) + 1;
      break;
    }
    r.begin = r.end;
  }
  return true;
}
