#include "convert/conversion.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "common/console.h"
#include "common/file_names.h"
#include "convert/block_conversion.h"
#include "convert/block_pipeline.h"
#include "convert/block_reader.h"
#include "convert/line_warnings.h"
#include "convert/progress_counter.h"
#include "convert/tag_header.h"
#include "history/history_file.h"
#include "platform/platform.h"

namespace {

// Tells what went wrong with the history file, if anything did: the message,
// and why on standard error.
void report_history_fault(const HistoryWriter& writer, Warnings& warnings) {
  switch (writer.fault) {
    case HistoryFault::kNone:
      return;
    case HistoryFault::kCreate:
      console_message("    Could not create file: ", writer.path, "\n");
      break;
    case HistoryFault::kWrite:
      console_message("\n    Could not write file: ", writer.path, "\n");
      break;
  }
  note_failure(warnings, writer.path, 0,
               writer.error != 0 ? error_text(writer.error)
                                 : "not a regular file (a device or another special file)");
}

// Why open_for_reading gave no file, in the system's words where it has them.
std::string open_fault_text(const OpenedFile& opened) {
  switch (opened.fault) {
    case OpenFault::kDirectory:
      return "Is a directory";
    case OpenFault::kNotRegular:
      return "not a regular file (a pipe, a device or another special file)";
    case OpenFault::kNone:
    case OpenFault::kOpen:
    case OpenFault::kStatus:
      break;
  }
  return error_text(opened.error);
}

// Reports a file that would not open: the message, and why on standard error.
ConversionResult report_open_fault(const std::string& path, const OpenedFile& opened,
                                   Warnings& warnings) {
  console_message("    Could not open file: ", path, "\n");
  note_failure(warnings, path, 0, open_fault_text(opened));
  return ConversionResult::kFailed;
}

// Tells why a history file that replaced the one before holds its header only, or, in a strict
// run (`strict`), would.
void warn_no_records(Warnings& warnings, std::string_view data_path, const JoinState& state,
                     bool strict) {
  if (!count_warning(warnings, WarningKind::kNoRecords)) return;
  const std::string why =
      state.valid > 0
          ? "the time window /i /f dropped " +
                (state.valid == 1 ? std::string("its one line")
                                  : "all " + std::to_string(state.valid) + " lines") +
                " with a valid date and time"
          : std::string(state.lines == 0 ? "the file is empty" : "the file holds blank lines only");
  show_warning(warnings, WarningKind::kNoRecords, data_path, 0,
               why + (strict ? "; the history file would hold its header only"
                             : "; the history file holds its header only"));
}

// Ends a run that has failed or stopped: the history file stays as it was.
ConversionResult abandon(HistoryWriter& writer, ConversionResult result) {
  discard_history(writer);
  return result;
}

// Bytes read per block: `block_bytes` when set, else about 1 MiB, less where
// records are large, so that a block's records stay near 2 MiB even if every
// line is short, and less in a file of a few blocks, so that every thread has
// a share of it.
size_t block_read_size(const ConversionOptions& options, size_t record_length, uint64_t data_size) {
  if (options.block_bytes > 0) return options.block_bytes;
  constexpr size_t kRecordBytes = 2 << 20;
  constexpr size_t kLeast = 64 << 10;
  const size_t size = std::clamp<size_t>(kRecordBytes / record_length * 20, kLeast, 1 << 20);
  if (options.threads < 2) return size;
  const uint64_t share = data_size / (2 * static_cast<uint64_t>(options.threads)) + 1;
  return static_cast<size_t>(std::clamp<uint64_t>(share, kLeast, size));
}

// Streams the data file into the history file, one record per accepted line,
// converting blocks of lines on every thread the options allow and joining
// them in file order.
ConversionResult convert_lines(FileHandle data_file, uint64_t data_size, HistoryWriter& writer,
                               const ConversionOptions& options, const TagTable& tags,
                               TimeZone& zone, const std::string& data_path, Warnings& warnings,
                               BlockPipeline& pipeline) {
  ProgressCounter counter;
  progress_start(counter, console_is_terminal(), options.quiet);
  BlockReader reader;
  block_reader_init(reader, data_file, block_read_size(options, writer.record_length, data_size),
                    data_size);
  const BlockSettings settings{&options, &tags, data_path, writer.record_length};
  JoinState state;
  uint64_t records = 0;
  pipeline.convert_in_order(reader, settings, zone, [&](BlockResult& block) {
    progress_add_lines(counter, block.lines);
    join_block(state, block, settings, warnings);
    records += block.used / writer.record_length;
    if (!write_records(writer, block.records.get(), block.used)) {
      report_history_fault(writer, warnings);
      return false;
    }
    return stop_signal_number() == 0;
  });
  progress_finish(counter);

  if (state.malformed > 0) {
    console_message("\n    Skipped malformed lines: ", std::to_string(state.malformed),
                    " (first at line " + std::to_string(state.first_malformed) + ")\n");
  }
  if (stop_signal_number() != 0) {
    console_message("\n    Conversion interrupted: ", writer.path, "\n");
    return abandon(writer, ConversionResult::kInterrupted);
  }
  if (reader.read_error != 0) {
    console_message("\n    Could not read file: ", data_path, "\n");
    note_failure(warnings, data_path, 0, error_text(reader.read_error));
    return abandon(writer, ConversionResult::kFailed);
  }
  if (writer.fault != HistoryFault::kNone) return abandon(writer, ConversionResult::kFailed);
  // A file of nothing but malformed lines was the wrong file or the wrong
  // format: keeping the old history file is the only useful result.
  if (state.malformed > 0 && state.valid == 0) {
    console_message("    No valid line in file: ", data_path, "\n");
    note_failure(warnings, data_path, 0,
                 (state.malformed == 1
                      ? std::string("its one line does not start")
                      : "none of its " + std::to_string(state.malformed) + " lines starts") +
                     " with a valid date and time DD/MM/YYYY HH:MM:SS");
    return abandon(writer, ConversionResult::kFailed);
  }
  // A strict run keeps the old history file when anything about this file drew a warning.
  if (options.strict) {
    if (records == 0) warn_no_records(warnings, data_path, state, true);
    if (any_warning(warnings)) {
      // The counter's line is still open unless the skipped lines were told.
      console_message(state.malformed > 0 ? "" : "\n",
                      "    Warnings in file, not converted: ", data_path);
      console_message("\n");
      return abandon(writer, ConversionResult::kFailed);
    }
  }
  if (!commit_history(writer)) {
    // A stop while the rename waited for another program to let go of the history file.
    if (stop_signal_number() != 0) {
      console_message("\n    Conversion interrupted: ", writer.path, "\n");
      return ConversionResult::kInterrupted;
    }
    report_history_fault(writer, warnings);
    return ConversionResult::kFailed;
  }
  if (records == 0 && !options.strict) warn_no_records(warnings, data_path, state, false);
  return ConversionResult::kOk;
}

}  // namespace

bool companion_paths(const std::string& data_path, CompanionPaths& paths) {
  const size_t dot = extension_dot(data_path);
  if (dot == std::string::npos) return false;
  const std::string stem = data_path.substr(0, dot);
  paths.history = stem + ".HST";
  paths.header = stem + ".HDR";
  return true;
}

namespace {

// convert_file up to its warnings.
ConversionResult convert_and_report(const std::string& data_path, const ConversionOptions& options,
                                    TagTable& tags, TimeZone& zone, Warnings& warnings,
                                    BlockPipeline& pipeline) {
  CompanionPaths paths;
  if (!companion_paths(data_path, paths)) {
    console_message("\n  Invalid Filename: ", data_path, "\n");
    note_failure(warnings, data_path, 0,
                 "the file name has no '.' before which to put .HST and .HDR");
    return ConversionResult::kFailed;
  }
  console_message("\n* Creating file ", paths.history, "\n");

  if (has_extension(data_path, "HST")) {
    console_message("    Data file and history file are the same: ", data_path, "\n");
    note_failure(warnings, data_path, 0, "a history file is no data file");
    return ConversionResult::kFailed;
  }

  paths.header = tag_header_to_read(paths.header);
  const OpenedFile header = open_for_reading(paths.header);
  const OwnedFile header_file(header.file);
  if (!is_open(header_file.handle)) return report_open_fault(paths.header, header, warnings);
  BlockReader header_reader;
  block_reader_init(header_reader, header_file.handle, 64 * 1024);
  TagHeaderLayout header_layout;
  const TagHeaderStatus header_status = read_tag_header(header_reader, tags, header_layout);
  const int header_error = header_reader.read_error;
  header_reader = BlockReader{};
  if (header_status == TagHeaderStatus::kOk) {
    check_tag_names(tags, header_layout, paths.header, warnings);
  }
  switch (header_status) {
    case TagHeaderStatus::kOk:
      break;
    case TagHeaderStatus::kInvalidCount:
      console_message("    Invalid tag count in file: ", paths.header, "\n");
      break;
    case TagHeaderStatus::kNameTooLong:
      console_message("    Tag name too long in file: ", paths.header, "\n");
      break;
    case TagHeaderStatus::kTagListTooLong:
      console_message("    Tag list too long in file: ", paths.header, "\n");
      break;
    case TagHeaderStatus::kReadFailed:
      console_message("    Could not read file: ", paths.header, "\n");
      note_failure(warnings, paths.header, 0, error_text(header_error));
      return ConversionResult::kFailed;
  }
  if (header_status != TagHeaderStatus::kOk) {
    const TagHeaderFault fault = tag_header_fault(header_status, header_layout);
    note_failure(warnings, paths.header, fault.line, fault.reason);
    return ConversionResult::kFailed;
  }

  const OpenedFile data = open_for_reading(data_path);
  const OwnedFile data_file(data.file);
  if (!is_open(data_file.handle)) return report_open_fault(data_path, data, warnings);
  // A data file reached through another name of the history file would be
  // emptied by creating the history file.
  FileIdentity history_identity;
  if (identity_of(paths.history, history_identity).error == 0 &&
      history_identity == data.identity) {
    console_message("    Data file and history file are the same: ", data_path, "\n");
    note_failure(warnings, data_path, 0, "it is another name of " + paths.history);
    return ConversionResult::kFailed;
  }
  if (stop_signal_number() != 0) {
    console_message("\n    Conversion interrupted: ", paths.history, "\n");
    return ConversionResult::kInterrupted;
  }

  HistoryWriter writer;
  if (!create_history_file(paths.history, tags, writer)) {
    report_history_fault(writer, warnings);
    return ConversionResult::kFailed;
  }
  for (int i = 0; i < tags.count; ++i) console_message("   Tag = ", tag_name(tags, i), " \n");

  return convert_lines(data_file.handle, data.size, writer, options, tags, zone, data_path,
                       warnings, pipeline);
}

}  // namespace

ConversionResult convert_file(const std::string& data_path, const ConversionOptions& options,
                              TagTable& tags, TimeZone& zone, Warnings& warnings,
                              BlockPipeline& pipeline) {
  const ConversionResult result =
      convert_and_report(data_path, options, tags, zone, warnings, pipeline);
  print_warnings(warnings, data_path);
  const bool run_warned = warnings.run_warned;
  warnings = Warnings{};
  warnings.run_warned = run_warned;
  return result;
}

ConversionResult convert_file(const std::string& data_path, const ConversionOptions& options,
                              TagTable& tags, TimeZone& zone) {
  Warnings warnings;
  BlockPipeline pipeline(options.threads);
  return convert_file(data_path, options, tags, zone, warnings, pipeline);
}
