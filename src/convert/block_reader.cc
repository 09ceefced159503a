#include "convert/block_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// 3 when [data, data + size) starts with a UTF-8 byte-order mark, else 0.
size_t byte_order_mark_length(const char* data, size_t size) {
  return size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

// The line from `start` to the line feed at `newline`: a CR before the line
// feed is no part of it; past kMaxLineLength it is cut short and flagged.
Line line_ending_at(char* start, char* newline) {
  size_t size = static_cast<size_t>(newline - start);
  if (size > 0 && start[size - 1] == '\r') --size;
  return Line{start, std::min(size, kMaxLineLength), size > kMaxLineLength};
}

// The file's last line, [start, start + size), which has no line end: a CR
// at its end is an ordinary character.
Line last_line(char* start, size_t size) {
  return Line{start, std::min(size, kMaxLineLength), size > kMaxLineLength};
}

}  // namespace

size_t read_text(FileHandle file, char* at, size_t room, bool& at_eof, int& read_error) {
  const SizeResult read = read_some(file, at, room);
  if (read.error != 0) read_error = read.error;
  if (read.bytes == 0) {
    at_eof = true;
    return 0;
  }
  if (const void* stop = std::memchr(at, kEndOfFile, read.bytes)) {
    at_eof = true;
    return static_cast<size_t>(static_cast<const char*>(stop) - at);
  }
  return read.bytes;
}

void block_reader_init(BlockReader& reader, FileHandle file, size_t read_size) {
  reader = BlockReader{};
  reader.file = file;
  reader.read_size = read_size;
}

void block_init(Block& block, const BlockReader& reader) {
  // One read and the rest of a line carried over; room for longer lines comes when they do.
  block.capacity = reader.read_size + 4096;
  block.data = std::make_unique_for_overwrite<char[]>(block.capacity);
  block.size = 0;
  block.overlong_head = false;
}

namespace {

// Makes room for `size` bytes and the padding in `block`, keeping its first
// `kept` bytes. It grows by doubling, up to the longest line with its CR LF
// and one read.
void reserve(Block& b, size_t size, size_t kept, const BlockReader& r) {
  size += kBlockPadding;
  if (size <= b.capacity) return;
  const size_t most = kMaxLineLength + 2 + std::max<size_t>(r.read_size, 3) + kBlockPadding;
  const size_t capacity = std::max(size, std::min(2 * b.capacity, most));
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  std::memcpy(data.get(), b.data.get(), kept);
  b.data = std::move(data);
  b.capacity = capacity;
}

}  // namespace

bool next_block(BlockReader& r, Block& b) {
  b.overlong_head = false;
  // Each read brings at most `room` bytes (3 at least, for a byte-order mark).
  const size_t room = std::max<size_t>(r.read_size, 3);
  reserve(b, r.carry.size() + room, 0, r);
  std::memcpy(b.data.get(), r.carry.data(), r.carry.size());
  size_t used = r.carry.size();
  r.carry.clear();
  std::memset(b.data.get() + used, 0, kBlockPadding);
  while (!r.at_eof) {
    reserve(b, used + room, used, r);
    char* const fresh = b.data.get() + used;
    size_t got = read_text(r.file, fresh, r.read_size, r.at_eof, r.read_error);
    if (r.at_start) {
      // A byte-order mark may be split over the first reads. The block still
      // gets no more than one read's worth (or the mark's 3 bytes), so that
      // its records fit the room block_result_init gives them.
      while (got < 3 && !r.at_eof)
        got += read_text(r.file, fresh + got, room - got, r.at_eof, r.read_error);
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
    // The bytes before `fresh` hold no line feed: the last one, if any, is among the new ones.
    // A forward search first passes over the middle of a long line at memchr's speed.
    const std::string_view chunk(fresh, got);
    const size_t last = chunk.find('\n') == std::string_view::npos ? chunk.npos : chunk.rfind('\n');
    used += got;
    std::memset(b.data.get() + used, 0, kBlockPadding);
    if (last != std::string_view::npos) {
      b.size = static_cast<size_t>(fresh - b.data.get()) + last + 1;
      r.carry.assign(b.data.get() + b.size, used - b.size);
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

bool next_line(BlockReader& reader, Block& block, size_t& at, Line& line) {
  while (!next_block_line(block, at, line)) {
    if (!next_block(reader, block)) return false;
    at = 0;
  }
  return true;
}
