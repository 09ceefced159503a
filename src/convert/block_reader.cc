#include "convert/block_reader.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr char kEndOfFile = 0x1A;

// Reads into [at, at + room) of `block`; the bytes that came, 0 at the end of
// the file or after a failure.
size_t read_some(BlockReader& r, char* at, size_t room) {
  for (;;) {
    const ssize_t n = ::read(r.fd, at, room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) r.read_failed = true;
    if (n <= 0) {
      r.at_eof = true;
      return 0;
    }
    const size_t got = static_cast<size_t>(n);
    if (const void* stop = std::memchr(at, kEndOfFile, got)) {
      r.at_eof = true;
      return static_cast<size_t>(static_cast<const char*>(stop) - at);
    }
    return got;
  }
}

}  // namespace

void block_reader_init(BlockReader& reader, int fd, size_t read_size) {
  reader = BlockReader{};
  reader.fd = fd;
  reader.read_size = read_size;
  reader.carry = std::make_unique_for_overwrite<char[]>(kMaxLineLength + 2);
}

void block_init(Block& block, const BlockReader& reader) {
  // The longest line with its CR LF, then one whole read.
  block.capacity = kMaxLineLength + 2 + reader.read_size;
  block.data = std::make_unique_for_overwrite<char[]>(block.capacity);
  block.size = 0;
}

bool next_block(BlockReader& r, Block& b) {
  b.overlong_head = false;
  std::memcpy(b.data.get(), r.carry.get(), r.carry_size);
  size_t used = r.carry_size;
  r.carry_size = 0;
  while (!r.at_eof) {
    char* const fresh = b.data.get() + used;
    size_t got = read_some(r, fresh, std::min(r.read_size, b.capacity - used));
    if (r.at_start) {
      // A byte-order mark may be split over the first reads.
      while (got < 3 && !r.at_eof) got += read_some(r, fresh + got, b.capacity - used - got);
      r.at_start = false;
      if (got >= 3 && std::memcmp(fresh, "\xEF\xBB\xBF", 3) == 0) {
        std::memmove(fresh, fresh + 3, got - 3);
        got -= 3;
      }
    }
    if (r.skipping) {
      // The head of an overlong line went out already; drop the rest of it.
      const void* newline = std::memchr(fresh, '\n', got);
      if (newline == nullptr) continue;
      const size_t dropped = static_cast<size_t>(static_cast<const char*>(newline) - fresh) + 1;
      std::memmove(fresh, fresh + dropped, got - dropped);
      got -= dropped;
      r.skipping = false;
    }
    used += got;
    const void* last = ::memrchr(b.data.get(), '\n', used);
    if (last != nullptr) {
      b.size = static_cast<size_t>(static_cast<const char*>(last) - b.data.get()) + 1;
      r.carry_size = used - b.size;
      std::memcpy(r.carry.get(), b.data.get() + b.size, r.carry_size);
      return true;
    }
    if (used > kMaxLineLength + 1) {
      // Longer than any valid line even with CR LF: hand out its head only.
      b.size = kMaxLineLength;
      b.overlong_head = true;
      r.skipping = true;
      return true;
    }
  }
  // The file's last line, without a line end.
  b.size = used;
  return used > 0;
}

bool next_block_line(const Block& b, size_t& at, Line& line) {
  if (at >= b.size) return false;
  char* const start = b.data.get() + at;
  if (b.overlong_head) {
    line = Line{start, b.size, true};
    at = b.size;
    return true;
  }
  const size_t available = b.size - at;
  char* const newline = static_cast<char*>(std::memchr(start, '\n', available));
  if (newline == nullptr) {
    // The last line of the file, without a line end: a CR there is an ordinary character.
    line = Line{start, available, available > kMaxLineLength};
    if (line.too_long) line.size = kMaxLineLength;
    at = b.size;
    return true;
  }
  size_t size = static_cast<size_t>(newline - start);
  if (size > 0 && start[size - 1] == '\r') --size;
  at += static_cast<size_t>(newline - start) + 1;
  line = Line{start, size, size > kMaxLineLength};
  if (line.too_long) line.size = kMaxLineLength;
  return true;
}
