// Standard output of the converter: every message and the progress counter.
//
// Redirected output is buffered and written in large chunks. On a terminal each
// message appears at once. A standard output that can no longer be written (a
// pipe whose reader quit) is dropped silently: the conversion goes on.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/platform.h"

// Starts writing to `file` (standard output in the program, a file in tests).
void console_open(FileHandle file);

// True when the console is a terminal.
bool console_is_terminal();

// Appends text to the console buffer.
void console_write(std::string_view text);

// Room for `size` bytes (at most 64 KiB) at the end of the buffer, which is
// written out first when it has less: text written there joins the output
// with console_commit. Lets a caller build many small pieces in place.
char* console_room(size_t size);

// Adds the first `size` bytes written at console_room to the output; they do
// not end a line.
void console_commit(size_t size);

// Writes `a`, `b` and `c` as one message, shown at once on a terminal.
void console_message(std::string_view a, std::string_view b = {}, std::string_view c = {});

// True when the last text written did not end with a line feed (the
// counter's line, say).
bool console_line_open();

// Writes out everything buffered.
void console_flush();
