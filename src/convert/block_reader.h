// Reads a data file in blocks of whole lines, so that blocks can be converted
// apart from each other (on several threads) and joined in order.
//
// The text translation is LineReader's: a UTF-8 byte-order mark at the start
// is skipped, a 0x1A byte (Ctrl-Z) ends the file, lines end at LF (a CR before
// it is dropped by the line splitter), and a line longer than kMaxLineLength
// is handed out as its first kMaxLineLength characters, flagged too long.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "common/line_reader.h"

// A run of whole lines of the data file.
struct Block {
  std::unique_ptr<char[]> data;
  size_t capacity = 0;
  size_t size = 0;
  // The block is the head of one line longer than kMaxLineLength, and nothing else.
  bool overlong_head = false;
};

struct BlockReader {
  int fd = -1;
  size_t read_size = 0;           // bytes asked for per read
  std::unique_ptr<char[]> carry;  // the start of a line that the last block did not end
  size_t carry_size = 0;
  bool at_start = true;  // nothing read yet: a byte-order mark may come first
  bool at_eof = false;
  bool read_failed = false;
  bool skipping = false;  // dropping the rest of an overlong line
};

// Prepares `reader` for the open descriptor `fd` (not owned); each block is
// filled by reads of `read_size` bytes.
void block_reader_init(BlockReader& reader, int fd, size_t read_size);

// Makes `block` able to hold what block_reader fills in.
void block_init(Block& block, const BlockReader& reader);

// Fills `block` with the next whole lines: what one read brings, cut after
// its last line feed (more reads when a line is longer). Returns false when
// the file has no more text (or a read failed: then `read_failed` is set).
bool next_block(BlockReader& reader, Block& block);

// The lines of a block one after the other: `line` is set to the next one
// (without its line end). `at` is where the next line starts, 0 at first.
bool next_block_line(const Block& block, size_t& at, Line& line);
