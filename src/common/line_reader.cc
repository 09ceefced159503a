#include "common/line_reader.h"

#include <errno.h>
#include <unistd.h>

#include <cstring>

#include "common/text_scan.h"

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
  const char* p = r.buffer.get() + r.begin;
  if (r.end - r.begin >= 3 && p[0] == '\xEF' && p[1] == '\xBB' && p[2] == '\xBF') r.begin += 3;
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
