// Printing one history file: summary comment lines, then CSV rows.
#pragma once

#include <string>

#include "convert/time_zone.h"
#include "output_buffer.h"

// How to print.
struct DumpSettings {
  TimeZone* zone = nullptr;   // local times of this zone; null prints UTC
  bool summary_only = false;  // stop after the comment lines
};

// Prints the history file at `path` to `out` and returns the exit status: 0
// when all of it was printed (or the reader of the output went away), 1 after
// one message on standard error naming the file and its fault, or the output
// failure. Memory use does not depend on the file size. A file ending in a
// partial record still has its whole records printed before the message.
int dump_history_file(const std::string& path, const DumpSettings& settings, OutputBuffer& out);
