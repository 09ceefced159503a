// The line counter shown while a file converts: "\r   Line = N   " per line.
#pragma once

#include <cstddef>
#include <cstdint>

struct ProgressCounter {
  // "\r   Line = " + digits + "   ", kept up to date in place.
  char text[48];
  size_t length = 0;
  bool terminal = false;    // show a live value instead of every piece
  bool quiet = false;       // show nothing at all
  uint32_t unchecked = 0;   // lines since the clock was last read
  int64_t shown_at_ns = 0;  // when a value was last shown on the terminal
  bool shown_current = false;
};

// Starts at line 0. When `quiet`, nothing is ever shown. Otherwise, on a
// terminal only the latest value is shown, at most every 50 ms, and elsewhere
// every piece is written.
void progress_start(ProgressCounter& counter, bool terminal, bool quiet);

// Counts `lines` more lines and writes the piece of each (or, on a
// terminal, may show the latest).
void progress_add_lines(ProgressCounter& counter, uint64_t lines);

// On a terminal, shows the final value if it is not on screen yet.
void progress_finish(ProgressCounter& counter);
