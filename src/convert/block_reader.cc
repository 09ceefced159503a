#include "convert/block_reader.h"

#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

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
    size_t got =
        read_text(r.fd, fresh, std::min(r.read_size, b.capacity - used), r.at_eof, r.read_failed);
    if (r.at_start) {
      // A byte-order mark may be split over the first reads.
      while (got < 3 && !r.at_eof)
        got += read_text(r.fd, fresh + got, b.capacity - used - got, r.at_eof, r.read_failed);
      r.at_start = false;
      const size_t mark = byte_order_mark_length(fresh, got);
      std::memmove(fresh, fresh + mark, got - mark);
      got -= mark;
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
    line = last_line(start, available);
    at = b.size;
    return true;
  }
  at += static_cast<size_t>(newline - start) + 1;
  line = line_ending_at(start, newline);
  return true;
}
