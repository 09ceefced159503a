// Reads a text file in blocks of whole lines, the one reader of every text
// file tagpress reads: blocks of a data file are converted apart from each
// other (on several threads) and joined in order; the tag header is read a
// line at a time through the same blocks.
//
// The translation is the same on every platform: a UTF-8 byte-order mark at
// the start is skipped, a 0x1A byte (Ctrl-Z) ends the file, lines end at LF
// (CR LF reads as LF; a CR elsewhere is an ordinary character), and a line
// longer than kMaxLineLength is handed out as its first kMaxLineLength
// characters, flagged too long; memory stays bounded whatever the file holds.
#pragma once

#include <cstddef>
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

// A run of whole lines of a file, each ending in LF but perhaps the file's last.
// kBlockPadding bytes after `size` may be read.
struct Block {
  std::unique_ptr<char[]> data;
  size_t capacity = 0;
  size_t size = 0;
  // The block is the head of one line longer than kMaxLineLength, and nothing else.
  bool overlong_head = false;
};

struct BlockReader {
  FileHandle file;
  size_t read_size = 0;  // bytes asked for per read
  std::string carry;     // the start of a line that the last block did not end
  bool at_start = true;  // nothing read yet: a byte-order mark may come first
  bool at_eof = false;
  int read_error = 0;     // the system's code for the read that failed, 0 while none has
  bool skipping = false;  // dropping the rest of an overlong line
};

// Reads up to `room` bytes from `file` into `at` and returns how many are text:
// those before a 0x1A, 0 at the end of the file. Sets `at_eof` when the text
// has ended, and also `read_error` when a read failed.
size_t read_text(FileHandle file, char* at, size_t room, bool& at_eof, int& read_error);

// Prepares `reader` for the open file `file` (not owned); each block is
// filled by reads of `read_size` bytes.
void block_reader_init(BlockReader& reader, FileHandle file, size_t read_size);

// Makes `block` ready for next_block, which gives it more room as lines need it, and empty.
void block_init(Block& block, const BlockReader& reader);

// Fills `block` with the next whole lines: what one read brings, cut after
// its last line feed (more reads when a line is longer). Returns false when
// the file has no more text (or a read failed: then `read_error` is set).
bool next_block(BlockReader& reader, Block& block);

// The lines of a block one after the other: `line` is set to the next one
// (without its line end). `at` is where the next line starts, 0 at first.
bool next_block_line(const Block& block, size_t& at, Line& line);

// The lines of a whole file one at a time: next_block_line over `block`,
// refilled by next_block when it runs out. Start with a block from
// block_init and `at` 0. False at the end of the text or after a read error.
bool next_line(BlockReader& reader, Block& block, size_t& at, Line& line);
