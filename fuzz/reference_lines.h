// The lines of a text file, split independently of the block reader so that the
// fuzz checks can compare the converter against them. A UTF-8 byte-order mark
// at the start is no text; a UTF-16 one makes the rest UTF-16, decoded to UTF-8
// with U+FFFD for what does not decode. 0x1A (U+001A) ends the file. A line
// ends at LF, at CRs followed by LF, at a CR without an LF after it, and at a
// run of NULs, together with the line end right after it, if any. A line
// longer than kMaxLineLength is too long.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/block_reader.h"
#include "convert/text_reader_for_tests.h"

namespace fuzz_check {

struct ReferenceLine {
  std::string text;  // cut to kMaxLineLength when too long, as the reader hands it out
  bool too_long = false;
};

inline void append_utf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The text of a file's bytes, up to its end or its 0x1A.
inline std::string reference_text(std::string_view bytes) {
  const bool little = bytes.starts_with("\xFF\xFE");
  if (!little && !bytes.starts_with("\xFE\xFF")) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    return std::string(bytes.substr(0, bytes.find('\x1A')));
  }
  std::vector<uint32_t> units;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const uint32_t a = static_cast<unsigned char>(bytes[i]);
    const uint32_t b = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(little ? a | b << 8 : a << 8 | b);
  }
  const bool odd_byte = bytes.size() % 2 == 1;
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    const uint32_t u = units[i];
    if (u == 0x1A) return out;
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      append_utf8(out, u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
    }
  }
  if (odd_byte) append_utf8(out, 0xFFFD);
  return out;
}

inline std::vector<ReferenceLine> reference_lines(std::string_view bytes) {
  const std::string text = reference_text(bytes);
  std::vector<ReferenceLine> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of(std::string_view("\n\r\0", 3), pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + pos, end - pos);
    const bool too_long = line.size() > kMaxLineLength;
    lines.push_back({std::string(too_long ? line.substr(0, kMaxLineLength) : line), too_long});
    // The line end: NULs, then CRs; with an LF after them all of it, else the NULs and one CR.
    size_t after = end;
    while (after < text.size() && text[after] == '\0') ++after;
    const size_t nuls_end = after;
    while (after < text.size() && text[after] == '\r') ++after;
    if (after < text.size() && text[after] == '\n') {
      pos = after + 1;
    } else {
      pos = after > nuls_end ? nuls_end + 1 : nuls_end;
    }
  }
  return lines;
}

// A memory file holding `bytes`, positioned at its start; -1 when it cannot be made.
inline int memory_file_with(std::string_view bytes) {
  const int fd = memfd_create("fuzz_text", MFD_CLOEXEC);
  if (fd < 0) return -1;
  if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
      lseek(fd, 0, SEEK_SET) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// `bytes` as a file read line by line through the block reader in reads of
// `read_size` bytes: the reference lines, whatever the reads split.
inline std::string check_reader_lines(std::string_view bytes, size_t read_size) {
  const int fd = memory_file_with(bytes);
  if (fd < 0) return "could not fill a memory file";
  BlockReader reader;
  block_reader_init(reader, handle_of_descriptor(fd), read_size);
  const std::vector<ReadLine> read = read_every_line(reader);
  close(fd);
  const std::vector<ReferenceLine> expected = reference_lines(bytes);
  if (read.size() != expected.size()) return "the reader split another number of lines";
  for (size_t i = 0; i < read.size(); ++i) {
    if (read[i].text != expected[i].text || read[i].too_long != expected[i].too_long) {
      return "the reader read a line otherwise than the reference";
    }
  }
  return "";
}

}  // namespace fuzz_check
