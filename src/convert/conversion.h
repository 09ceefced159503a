// The conversion of one data file into its history file.
#pragma once

#include <string>

#include "common/conversion_options.h"
#include "common/tag_table.h"
#include "convert/block_pipeline.h"
#include "convert/warnings.h"
#include "zone/time_zone.h"

enum class ConversionResult {
  kOk,           // the history file is complete (malformed lines may have been skipped)
  kFailed,       // a failure was reported; the history file is missing, untouched or cut short
  kInterrupted,  // a stop signal ended the run after the last whole record
};

// The history and tag header paths of a data file.
struct CompanionPaths {
  std::string history;  // stem + ".HST"
  std::string header;   // stem + ".HDR"
};

// Derives the companion paths: the argument up to the last "." of its file
// name part, plus ".HST" and ".HDR". Returns false when the file name part has
// no ".".
bool companion_paths(const std::string& data_path, CompanionPaths& paths);

// Converts the data file `data_path` (as given on the command line) into its
// history file, reporting progress and every failure on the console. `tags`
// is refilled from the tag header file; `zone` shifts local times to UTC (a
// local time that occurs twice takes the instant the lines before it point
// to: see block_conversion.cc).
// Then writes `warnings` (which may hold some already) with those about this
// file's input to standard error, and empties it. The blocks are converted
// by `pipeline`, which the files of a run share.
ConversionResult convert_file(const std::string& data_path, const ConversionOptions& options,
                              TagTable& tags, TimeZone& zone, Warnings& warnings,
                              BlockPipeline& pipeline);

// convert_file with no earlier warnings, on a pipeline of its own.
ConversionResult convert_file(const std::string& data_path, const ConversionOptions& options,
                              TagTable& tags, TimeZone& zone);
