// Reads a text file in blocks of whole lines, the one reader of every text
// file tagpress reads: blocks of a data file are converted apart from each
// other (on several threads) and joined in order; the tag header is read a
// line at a time through the same blocks.
//
// The translation is the same on every platform:
// - a UTF-8 byte-order mark at the start is skipped; a UTF-16 one (FF FE or
//   FE FF) makes the file UTF-16, taken on as UTF-8 (a broken sequence reads
//   as U+FFFD);
// - a 0x1A byte (Ctrl-Z; the code unit U+001A in UTF-16) ends the file;
// - a line ends at LF, at one or more CRs followed by LF, at a CR that no LF
//   follows, and at a run of NUL bytes, which with a line end right after it
//   makes one line end (NUL-padded names, C strings written whole); a NUL run
//   that text follows, as a power failure leaves in a log, ends the line by
//   itself;
// - a line longer than kMaxLineLength is handed out as its first
//   kMaxLineLength characters, flagged too long.
// Memory stays bounded whatever the file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/byte_search.h"
#include "platform/platform.h"

constexpr size_t kMaxLineLength = 1'048'576;

// A 0x1A byte (Ctrl-Z) ends the text of a file.
constexpr char kEndOfFile = 0x1A;

// One line, without its line end. Points into the block it came from.
struct Line {
  char* data = nullptr;
  size_t size = 0;
  // The line had more than kMaxLineLength characters; `data` holds the first ones.
  bool too_long = false;
};

// Bytes that may be loaded past a block's `size`: the delimited layout looks
// for separators a search window at a time. What they hold never changes a
// result.
constexpr size_t kBlockPadding = byte_search::kWindow;

// A run of whole lines of a file, each ending in a line end but perhaps the
// file's last. Until settle_line_ends has run, its line ends are as in the
// file; its end is always the end of a line. kBlockPadding bytes after
// `size` may be read.
struct Block {
  std::unique_ptr<char[]> data;
  size_t capacity = 0;
  size_t size = 0;
  // The block is the head of one line longer than kMaxLineLength, and nothing else.
  bool overlong_head = false;
  // Its last line is the file's and has no line end (a Ctrl-Z counts as one).
  bool unended = false;
  // ... and the file held fewer bytes when it was opened than were read: it is being written.
  bool growing = false;
};

// settle_line_ends found no NUL run that ends a line by itself.
constexpr size_t kNoNulBreak = SIZE_MAX;

// Text files as they may come: bytes (ASCII or UTF-8), or UTF-16 of either byte order.
enum class TextEncoding : uint8_t { kBytes, kUtf16Le, kUtf16Be };

struct BlockReader {
  FileHandle file;
  size_t read_size = 0;  // bytes asked for per read
  std::string carry;     // the start of a line that the last block did not end
  bool at_start = true;  // nothing read yet: a byte-order mark may come first
  bool at_eof = false;
  int read_error = 0;            // the system's code for the read that failed, 0 while none has
  bool skipping = false;         // dropping the rest of an overlong line
  bool ended_by_ctrl_z = false;  // the text ended at a 0x1A
  TextEncoding encoding = TextEncoding::kBytes;
  // UTF-16: bytes read and not yet taken on, [raw_begin, raw_end) of `raw`.
  std::unique_ptr<char[]> raw;
  size_t raw_capacity = 0, raw_begin = 0, raw_end = 0;
  bool raw_eof = false;  // UTF-16: the file has no more bytes
  uint64_t bytes_read = 0;
  uint64_t size_at_open = UINT64_MAX;  // the file's size when opened, if known
};

// Prepares `reader` for the open file `file` (not owned); each block is
// filled by reads of `read_size` bytes. `size_at_open`, the file's size when
// it was opened, tells a file that grows while it is read.
void block_reader_init(BlockReader& reader, FileHandle file, size_t read_size,
                       uint64_t size_at_open = UINT64_MAX);

// Makes `block` ready for next_block, which gives it more room as lines need it, and empty. A
// block that held lines before keeps its memory when it is large enough.
void block_init(Block& block, const BlockReader& reader);

// Fills `block` with the next whole lines: what one read brings, cut after
// its last line feed (more reads when a line is longer). Returns false when
// the file has no more text (or a read failed: then `read_error` is set).
bool next_block(BlockReader& reader, Block& block);

// Rewrites the line ends of a block filled by next_block in place, so that
// each line ends at LF, perhaps after CRs and NULs that are part of its line
// end. Returns the offset of the LF that stands for the first NUL run that
// ends a line by itself, or kNoNulBreak.
size_t settle_line_ends(Block& block);

// The lines of a block whose line ends are settled, one after the other:
// `line` is set to the next one (without its line end). `at` is where the
// next line starts, 0 at first.
bool next_block_line(const Block& block, size_t& at, Line& line);

// The lines of a whole file one at a time: next_block_line over `block`,
// refilled by next_block and settled when it runs out. Start with a block from
// block_init and `at` 0. False at the end of the text or after a read error.
bool next_line(BlockReader& reader, Block& block, size_t& at, Line& line);
