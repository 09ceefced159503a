// Reads a text file one line at a time through one fixed-size buffer.
//
// The translation is the same on every platform: CR LF reads as LF, a CR not
// followed by LF stays an ordinary character, and a 0x1A byte (Ctrl-Z) ends
// the file. Lines may be of any length; memory stays bounded because a line
// longer than kMaxLineLength is handed out cut short and flagged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

constexpr size_t kMaxLineLength = 1'048'576;

struct LineReader {
  int fd = -1;
  std::unique_ptr<char[]> buffer;
  size_t capacity = 0;
  size_t begin = 0;  // first byte not yet handed out
  size_t end = 0;    // end of the bytes read so far
  bool at_eof = false;
  bool read_failed = false;  // a read error ended the file early
  bool skipping = false;     // discarding the rest of an overlong line
  bool at_start = true;      // nothing handed out yet: a byte-order mark may come first
};

// One line, without its line end. Valid until the next call of next_line.
struct Line {
  char* data = nullptr;
  size_t size = 0;
  bool too_long =
      false;  // the line had more than kMaxLineLength characters; `data` holds the first ones
};

// A 0x1A byte (Ctrl-Z) ends the text of a file.
constexpr char kEndOfFile = 0x1A;

// Reads up to `room` bytes from `fd` into `at` and returns how many are text:
// those before a 0x1A, 0 at the end of the file. Sets `at_eof` when the text
// has ended, and also `read_failed` when a read failed.
size_t read_text(int fd, char* at, size_t room, bool& at_eof, bool& read_failed);

// 3 when [data, data + size) starts with a UTF-8 byte-order mark, else 0.
size_t byte_order_mark_length(const char* data, size_t size);

// The line from `start` to the line feed at `newline`: a CR before the line
// feed is no part of it; past kMaxLineLength it is cut short and flagged.
Line line_ending_at(char* start, char* newline);

// The file's last line, [start, start + size), which has no line end: a CR
// at its end is an ordinary character.
Line last_line(char* start, size_t size);

// Prepares `reader` to read from the open descriptor `fd` (not owned).
// `read_size` is the largest single read, the buffer is that plus kMaxLineLength.
void line_reader_init(LineReader& reader, int fd, size_t read_size = 1 << 20);

// Hands out the next line. Returns false at the end of the file or after a
// read error (then `read_failed` is set). A UTF-8 byte-order mark at the very
// start of the file is skipped; it does not count as a line.
bool next_line(LineReader& reader, Line& line);

// Reads the next whole line, of any length, as a decimal integer (as
// read_saturated_int does: white space, one sign, digits, saturating at the
// signed 32-bit limits) and drops the rest of it. Returns false when there is
// no line left.
bool next_line_as_integer(LineReader& reader, int32_t& value);
