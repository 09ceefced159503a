// Test support: a block reader over a temporary file that holds a given text.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "convert/block_reader.h"

// A temporary file holding `text`, read from its start by a block reader
// with reads of `read_size` bytes. The file goes when this does.
struct TextReader {
  TextReader(const std::string& text, size_t read_size) : file(std::tmpfile()) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
    std::rewind(file);
    block_reader_init(reader, handle_of_descriptor(fileno(file)), read_size);
  }
  ~TextReader() { std::fclose(file); }
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  FILE* file;
  BlockReader reader;
};

// A line as the block reader hands it out.
struct ReadLine {
  std::string text;
  bool too_long;
  bool operator==(const ReadLine&) const = default;
};

// Every line `reader` hands out from where it stands, read through one block.
inline std::vector<ReadLine> read_every_line(BlockReader& reader) {
  Block block;
  block_init(block, reader);
  std::vector<ReadLine> lines;
  size_t at = 0;
  Line line;
  while (next_line(reader, block, at, line))
    lines.push_back({std::string(line.data, line.size), line.too_long});
  return lines;
}
