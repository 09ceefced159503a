#include "convert/block_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "common/utf8.h"

namespace {

bool is_line_end_byte(char c) {
  return c == '\n' || c == '\r' || c == '\0';
}

// The line from `start` to the line feed at `newline`, without the CRs and
// then the NULs before the line feed, which belong to its line end; past
// kMaxLineLength it is cut short and flagged.
Line line_ending_at(char* start, char* newline) {
  size_t size = static_cast<size_t>(newline - start);
  // One test in the usual case: text ends in a byte above CR.
  if (size > 0 && static_cast<unsigned char>(start[size - 1]) <= '\r') [[unlikely]] {
    while (size > 0 && start[size - 1] == '\r') --size;
    while (size > 0 && start[size - 1] == '\0') --size;
  }
  return Line{start, std::min(size, kMaxLineLength), size > kMaxLineLength};
}

// The file's last line, [start, start + size), which has no line end.
Line last_line(char* start, size_t size) {
  return Line{start, std::min(size, kMaxLineLength), size > kMaxLineLength};
}

// Offset of the first `c` in [data + from, data + size), or `size`.
// kBlockPadding bytes after `size` must be readable.
size_t find_byte(const char* data, size_t from, size_t size, char c) {
#if defined(__GLIBC__)
  // glibc's memchr reads wider vectors than SSE2 where the processor has them.
  const void* found = from < size ? std::memchr(data + from, c, size - from) : nullptr;
  return found != nullptr ? static_cast<size_t>(static_cast<const char*>(found) - data) : size;
#else
  if constexpr (byte_search::kAvailable) {
    for (size_t at = from; at < size; at += byte_search::kWindow) {
      const uint64_t hits = byte_search::equal_64(data + at, static_cast<ptrdiff_t>(size - at), c);
      if (hits != 0) return at + static_cast<size_t>(std::countr_zero(hits));
    }
    return size;
  }
  while (from < size && data[from] != c) ++from;
  return from;
#endif
}

// Offset just past a line end that certainly ends a line at or after `from`
// in [data, data + size): an LF, or a CR or NUL that neither a CR, an LF nor
// a NUL follows. The last one when `last`, else the first; npos when none is
// certain yet (a CR or NUL at the end may still be followed by an LF).
size_t certain_line_end(const char* data, size_t from, size_t size, bool last) {
  const auto certain_at = [&](size_t p) {
    return data[p] == '\n' || (p + 1 < size && !is_line_end_byte(data[p + 1]));
  };
  // Forward searches first pass over the middle of a long line at memchr's speed.
  const auto holds = [&](char c) { return std::memchr(data + from, c, size - from) != nullptr; };
  if (!holds('\n') && !holds('\r') && !holds('\0')) return std::string_view::npos;
  if (last) {
    for (size_t p = size; p-- > from;) {
      if (is_line_end_byte(data[p]) && certain_at(p)) return p + 1;
    }
  } else {
    for (size_t p = from; p < size; ++p) {
      if (is_line_end_byte(data[p]) && certain_at(p)) return p + 1;
    }
  }
  return std::string_view::npos;
}

// Makes each run of NULs in [data + from, data + size) one NUL: a run of any
// length ends a line alike. Returns the new size.
size_t squeeze_nul_runs(char* data, size_t from, size_t size) {
  if (std::memchr(data + from, '\0', size - from) == nullptr) return size;
  size_t out = from;
  for (size_t in = from; in < size; ++in) {
    if (data[in] == '\0' && out > 0 && data[out - 1] == '\0') continue;
    data[out++] = data[in];
  }
  return out;
}

constexpr uint32_t kReplacement = 0xFFFD;

// Takes on the UTF-16 bytes the reader holds as UTF-8 at `out`, at most
// `room` bytes of it, up to a unit that may still be completed by bytes not
// read yet. A U+001A ends the text.
size_t take_on_utf16(BlockReader& r, char* out, size_t room) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(r.raw.get());
  const bool big = r.encoding == TextEncoding::kUtf16Be;
  const auto unit = [&](size_t at) -> uint32_t {
    return big ? uint32_t{bytes[at]} << 8 | bytes[at + 1]
               : bytes[at] | uint32_t{bytes[at + 1]} << 8;
  };
  size_t produced = 0;
  while (room - produced >= 4 && !r.at_eof) {
    const size_t left = r.raw_end - r.raw_begin;
    uint32_t code_point;
    size_t taken = 2;
    if (left < 2) {
      if (left == 0 || !r.raw_eof) break;
      code_point = kReplacement;  // an odd byte at the end
      taken = 1;
    } else {
      code_point = unit(r.raw_begin);
      if (code_point >= 0xD800 && code_point < 0xDC00) {
        if (left < 4 && !r.raw_eof) break;  // its low half may come with the next read
        const uint32_t low = left >= 4 ? unit(r.raw_begin + 2) : 0;
        if (low >= 0xDC00 && low < 0xE000) {
          code_point = 0x10000 + ((code_point - 0xD800) << 10) + (low - 0xDC00);
          taken = 4;
        } else {
          code_point = kReplacement;
        }
      } else if (code_point >= 0xDC00 && code_point < 0xE000) {
        code_point = kReplacement;
      } else if (code_point == static_cast<unsigned char>(kEndOfFile)) {
        r.at_eof = r.ended_by_ctrl_z = true;
        break;
      }
    }
    r.raw_begin += taken;
    produced += put_utf8(out + produced, code_point);
  }
  if (r.raw_eof && r.raw_begin == r.raw_end) r.at_eof = true;
  return produced;
}

// Reads the next UTF-16 bytes and takes them on, at most `room` bytes of
// UTF-8 (4 at least); 0 only at the end of the text.
size_t read_utf16(BlockReader& r, char* out, size_t room) {
  for (;;) {
    const size_t produced = take_on_utf16(r, out, room);
    if (produced > 0 || r.at_eof) return produced;
    // What is left is less than one code point: keep it and read more.
    std::memmove(r.raw.get(), r.raw.get() + r.raw_begin, r.raw_end - r.raw_begin);
    r.raw_end -= r.raw_begin;
    r.raw_begin = 0;
    const SizeResult read = read_some(r.file, r.raw.get() + r.raw_end, r.raw_capacity - r.raw_end);
    if (read.error != 0) r.read_error = read.error;
    if (read.bytes == 0) r.raw_eof = true;
    r.raw_end += read.bytes;
    r.bytes_read += read.bytes;
  }
}

// Switches `r` to UTF-16 of the byte order its byte-order mark gave, holding
// the `size` bytes at `rest` that followed the mark.
void start_utf16(BlockReader& r, TextEncoding encoding, const char* rest, size_t size) {
  r.encoding = encoding;
  // Each 2 bytes read make at most 3 of UTF-8, so that a read's worth fits a block's room.
  r.raw_capacity = std::max<size_t>(r.read_size / 3 * 2, size + 4);
  r.raw = std::make_unique_for_overwrite<char[]>(r.raw_capacity);
  std::memcpy(r.raw.get(), rest, size);
  r.raw_begin = 0;
  r.raw_end = size;
}

// Reads the next text of the file into `at`, at most `room` bytes (4 at
// least), and returns how many: 0 only at the end of the text. The first read
// looks for a byte-order mark.
size_t read_text(BlockReader& r, char* at, size_t room) {
  if (r.encoding != TextEncoding::kBytes) return read_utf16(r, at, room);
  size_t got = 0;
  // A byte-order mark may be split over the first reads: read its 3 bytes at least.
  do {
    const SizeResult read = read_some(r.file, at + got, room - got);
    if (read.error != 0) r.read_error = read.error;
    if (read.bytes == 0) r.at_eof = true;
    got += read.bytes;
    r.bytes_read += read.bytes;
  } while (r.at_start && got < 3 && !r.at_eof);
  if (r.at_start) {
    r.at_start = false;
    const auto mark = [&](const char* bytes, size_t size) {
      return got >= size && std::memcmp(at, bytes, size) == 0;
    };
    if (mark("\xFF\xFE", 2) || mark("\xFE\xFF", 2)) {
      start_utf16(r, at[0] == '\xFF' ? TextEncoding::kUtf16Le : TextEncoding::kUtf16Be, at + 2,
                  got - 2);
      r.raw_eof = r.at_eof;
      r.at_eof = false;
      return read_utf16(r, at, room);
    }
    if (mark("\xEF\xBB\xBF", 3)) {
      std::memmove(at, at + 3, got - 3);
      got -= 3;
    }
  }
  if (const void* stop = std::memchr(at, kEndOfFile, got)) {
    r.at_eof = r.ended_by_ctrl_z = true;
    return static_cast<size_t>(static_cast<const char*>(stop) - at);
  }
  return got;
}

}  // namespace

void block_reader_init(BlockReader& reader, FileHandle file, size_t read_size,
                       uint64_t size_at_open) {
  reader = BlockReader{};
  reader.file = file;
  reader.read_size = read_size;
  reader.size_at_open = size_at_open;
}

void block_init(Block& block, const BlockReader& reader) {
  // One read and the rest of a line carried over; room for longer lines comes when they do. A
  // block used before keeps its room when that is enough.
  const size_t capacity = reader.read_size + 4096;
  if (block.data == nullptr || block.capacity < capacity) {
    block.capacity = capacity;
    block.data = std::make_unique_for_overwrite<char[]>(capacity);
  }
  block.size = 0;
  block.overlong_head = block.unended = block.growing = false;
}

namespace {

// Makes room for `size` bytes and the padding in `block`, keeping its first
// `kept` bytes. It grows by doubling, up to the longest line with its line
// end and one read.
void reserve(Block& b, size_t size, size_t kept, const BlockReader& r) {
  size += kBlockPadding;
  if (size <= b.capacity) return;
  const size_t most = kMaxLineLength + 2 + std::max<size_t>(r.read_size, 4) + kBlockPadding;
  const size_t capacity = std::max(size, std::min(2 * b.capacity, most));
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  std::memcpy(data.get(), b.data.get(), kept);
  b.data = std::move(data);
  b.capacity = capacity;
}

// While the rest of an overlong line is dropped: drops what `b` holds of it,
// [0, used), up to its line end; returns what is left. A CR or NUL at the end
// is kept, as the line end it may start.
size_t drop_rest_of_line(BlockReader& r, char* data, size_t used) {
  const size_t end = certain_line_end(data, 0, used, false);
  size_t dropped = end;
  if (end == std::string_view::npos) {
    dropped = used > 0 && is_line_end_byte(data[used - 1]) ? used - 1 : used;
  } else {
    r.skipping = false;
  }
  std::memmove(data, data + dropped, used - dropped);
  return used - dropped;
}

}  // namespace

bool next_block(BlockReader& r, Block& b) {
  b.overlong_head = b.unended = b.growing = false;
  // Each read brings at most `room` bytes (4 at least, for a byte-order mark or a code point).
  const size_t room = std::max<size_t>(r.read_size, 4);
  reserve(b, r.carry.size() + room, 0, r);
  std::memcpy(b.data.get(), r.carry.data(), r.carry.size());
  size_t used = r.carry.size();
  r.carry.clear();
  std::memset(b.data.get() + used, 0, kBlockPadding);
  while (!r.at_eof) {
    reserve(b, used + room, used, r);
    char* const data = b.data.get();
    // A CR or NUL that ended the bytes before may end a line, now that what follows it is read.
    size_t from = used > 0 ? used - 1 : 0;
    used += read_text(r, data + used, room);
    if (r.skipping) {
      used = drop_rest_of_line(r, data, used);
      from = 0;
    }
    std::memset(data + used, 0, kBlockPadding);
    if (r.skipping) continue;
    const size_t end = certain_line_end(data, from, used, true);
    if (end != std::string_view::npos) {
      b.size = end;
      r.carry.assign(data + end, used - end);
      return true;
    }
    used = squeeze_nul_runs(data, from, used);
    std::memset(data + used, 0, kBlockPadding);
    if (used > kMaxLineLength + 2) {
      // Longer than any valid line even with its line end: hand out its head only.
      b.size = kMaxLineLength;
      b.overlong_head = true;
      r.skipping = true;
      // A CR or NUL at its end may start the line end still to come.
      if (is_line_end_byte(data[used - 1])) r.carry.assign(1, data[used - 1]);
      return true;
    }
  }
  // The file's last line, which may lack a line end.
  b.size = used;
  if (used == 0) return false;
  b.unended = !is_line_end_byte(b.data[used - 1]) && !r.ended_by_ctrl_z;
  b.growing = r.bytes_read > r.size_at_open;
  return true;
}

size_t settle_line_ends(Block& b) {
  if (b.overlong_head) return kNoNulBreak;
  char* const d = b.data.get();
  const size_t size = b.size;
  size_t nul_break = kNoNulBreak;
  // The next CR and the next NUL: each is looked for again only once passed, so that the
  // search stays linear however the two mix.
  size_t next_cr = find_byte(d, 0, size, '\r');
  size_t next_nul = find_byte(d, 0, size, '\0');
  size_t at;
  while ((at = std::min(next_cr, next_nul)) < size) {
    size_t after_nuls = at;
    while (after_nuls < size && d[after_nuls] == '\0') ++after_nuls;
    size_t after_crs = after_nuls;
    while (after_crs < size && d[after_crs] == '\r') ++after_crs;
    if (after_crs < size && d[after_crs] == '\n') {
      ++after_crs;  // NULs and CRs before an LF: one line end, read as it stands
    } else if (after_crs > after_nuls) {
      // CRs that no LF follows each end a line, the first one together with the NULs before it.
      std::memset(d + after_nuls, '\n', after_crs - after_nuls);
    } else {
      // NULs that end a line by themselves: the last one stands for the line end.
      d[after_nuls - 1] = '\n';
      if (nul_break == kNoNulBreak) nul_break = after_nuls - 1;
    }
    at = after_crs;
    if (next_cr < at) next_cr = find_byte(d, at, size, '\r');
    if (next_nul < at) next_nul = find_byte(d, at, size, '\0');
  }
  return nul_break;
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
    settle_line_ends(block);
    at = 0;
  }
  return true;
}
