// Test support: a block reader over a temporary file that holds a given text.
#pragma once

#include <cstdio>
#include <string>

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
