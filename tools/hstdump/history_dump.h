// Printing history files: CSV rows, or summary comment lines.
#pragma once

#include <string>
#include <vector>

#include "output_buffer.h"
#include "zone/time_zone.h"

// How to print.
struct DumpSettings {
  TimeZone* zone = nullptr;   // local times of this zone; null prints UTC
  bool summary_only = false;  // summary comment lines instead of CSV
};

// Prints the history files at `paths`, in order, to `out` and returns the exit
// status: 0 when all of them were printed (or the reader of the output went
// away), 1 when any failed or the output failed. Each failure is one message
// on standard error naming the file and its fault; the other files are still
// printed.
//
// CSV: one header row, then one row per record. With several files, a first
// column "file" holds the path as given, and the value columns are those of
// merge_columns over the files' tag lists: files with the same tags get
// exactly those columns; a file without some column's tag leaves it empty.
// Summary: "# name: value" lines per file, after a "# file: PATH" line when
// several files are named.
//
// Tag names that are not UTF-8 are read as Windows-1252 (recode_tag_names),
// with one note on standard error per file that has such names.
//
// Memory use does not depend on the file sizes. A file ending in a partial
// record still has its whole records printed before the message.
int dump_history_files(const std::vector<std::string>& paths, const DumpSettings& settings,
                       OutputBuffer& out);
