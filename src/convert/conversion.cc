#include "convert/conversion.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/console.h"
#include "common/file_names.h"
#include "common/line_reader.h"
#include "common/ticks.h"
#include "convert/block_conversion.h"
#include "convert/block_pipeline.h"
#include "convert/block_reader.h"
#include "convert/line_warnings.h"
#include "convert/progress_counter.h"
#include "convert/repeated_time.h"
#include "convert/tag_header.h"
#include "history/history_file.h"
#include "platform/platform.h"

namespace {

// Malformed lines seen in one run, reported once at its end.
struct MalformedLines {
  uint64_t count = 0;
  uint64_t first = 0;
};

// Tells what went wrong with the history file, if anything did.
void report_history_fault(const HistoryWriter& writer) {
  switch (writer.fault) {
    case HistoryFault::kNone:
      break;
    case HistoryFault::kCreate:
      console_message("    Could not create file: ", writer.path, "\n");
      break;
    case HistoryFault::kWrite:
      console_message("\n    Could not write file: ", writer.path, "\n");
      break;
  }
}

// Ends a run that has failed or stopped: the history file stays as it was.
ConversionResult abandon(HistoryWriter& writer, ConversionResult result) {
  discard_history(writer);
  return result;
}

// What carries over from block to block while they are joined in file order.
struct JoinState {
  uint64_t lines = 0;  // lines before the block
  MalformedLines malformed;
  uint64_t valid_lines = 0;  // lines with a valid date and time, kept by the window or not
  int64_t previous = kNoPreviousInstant;  // of the last line with a valid date and time
  LineMoment previous_moment;             // that line, numbered in the file
  bool check_order = true;                // time going backwards is told once per file
};

// The next line with a valid time, numbered in the file: told when its time
// lies before that of the line before it.
void step_to(JoinState& s, const LineMoment& moment, Warnings& warnings,
             std::string_view data_path) {
  if (s.check_order && moment.instant < s.previous) [[unlikely]] {
    warn_backwards(warnings, {data_path, moment.line}, moment.stamp, s.previous_moment.line,
                   s.previous_moment.stamp);
    s.check_order = false;
  }
  s.previous = moment.instant;
  s.previous_moment = moment;
}

LineMoment in_file(LineMoment moment, uint64_t lines_before) {
  moment.line += lines_before;
  return moment;
}

// Adds a converted block to the run: settles what depends on the lines
// before it, shows its counter pieces and writes its records.
void join_block(JoinState& s, BlockResult& r, HistoryWriter& writer, ProgressCounter& counter,
                Warnings& warnings, std::string_view data_path) {
  for (uint64_t i = 0; i < r.lines; ++i) progress_next_line(counter);
  if (r.malformed > 0 && s.malformed.count == 0) s.malformed.first = s.lines + r.first_malformed;
  s.malformed.count += r.malformed;
  s.valid_lines += r.valid;
  append_warnings(warnings, r.warnings, s.lines);
  // Repeated local times before the block's first settled line take their
  // instant from the lines before them.
  for (const RepeatedTimeLine& repeated : r.leading) {
    LineMoment moment = in_file(repeated.moment, s.lines);
    moment.instant = choose_instant(s.previous, repeated.moment.instant, repeated.later);
    if (moment.instant != repeated.moment.instant && repeated.record != kNoRecord) {
      store_le64(r.records.get() + repeated.record, ticks_from_milliseconds(moment.instant));
    }
    step_to(s, moment, warnings, data_path);
  }
  if (r.has_settled) {
    step_to(s, in_file(r.first_settled, s.lines), warnings, data_path);
    if (s.check_order && r.backwards) {
      const LineMoment to = in_file(r.back_to, s.lines), from = in_file(r.back_from, s.lines);
      warn_backwards(warnings, {data_path, to.line}, to.stamp, from.line, from.stamp);
      s.check_order = false;
    }
    s.previous_moment = in_file(r.last_settled, s.lines);
    s.previous = s.previous_moment.instant;
  }
  if (!write_records(writer, r.records.get(), r.used)) report_history_fault(writer);
  s.lines += r.lines;
}

// Bytes read per block: about 1 MiB, less where records are large, so that a
// block's records stay near 2 MiB even if every line is short.
// TAGPRESS_BLOCK_BYTES sets another size, for the tests of block boundaries.
size_t block_read_size(size_t record_length) {
  if (const char* text = std::getenv("TAGPRESS_BLOCK_BYTES")) {
    const long bytes = std::atol(text);
    if (bytes > 0 && bytes <= (64 << 20)) return static_cast<size_t>(bytes);
  }
  constexpr size_t kRecordBytes = 2 << 20;
  return std::clamp<size_t>(kRecordBytes / record_length * 20, 64 << 10, 1 << 20);
}

// Streams the data file into the history file, one record per accepted line,
// converting blocks of lines on every thread the machine offers and joining
// them in file order.
ConversionResult convert_lines(FileHandle data_file, HistoryWriter& writer,
                               const ConversionOptions& options, const TagTable& tags,
                               TimeZone& zone, const std::string& data_path, Warnings& warnings) {
  ProgressCounter counter;
  progress_start(counter, console_is_terminal(), options.quiet);
  BlockReader reader;
  // The reader takes the descriptor that the handle holds on this system.
  block_reader_init(reader, static_cast<int>(data_file.native),
                    block_read_size(writer.record_length));
  const BlockSettings settings{&options, &tags, data_path, writer.record_length};
  BlockPipeline pipeline;
  pipeline_start(pipeline, settings, reader, zone, conversion_thread_count());
  JoinState state;
  bool interrupted = false;
  bool stopping = false;
  bool read_all = false;

  for (;;) {
    BlockJob* job;
    while (!read_all && !stopping && (job = pipeline_free_job(pipeline)) != nullptr) {
      if (!next_block(reader, job->block)) {
        read_all = true;
        break;
      }
      pipeline_give(pipeline, job);
    }
    if (pipeline.in_flight == 0) break;
    BlockJob* oldest = pipeline_oldest(pipeline);
    if (!stopping) join_block(state, oldest->result, writer, counter, warnings, data_path);
    pipeline_release_oldest(pipeline);
    if (stop_signal_number() != 0) interrupted = stopping = true;
    if (writer.fault != HistoryFault::kNone) stopping = true;
  }
  pipeline_stop(pipeline);
  progress_finish(counter);

  const MalformedLines& malformed = state.malformed;
  if (malformed.count > 0) {
    console_message("\n    Skipped malformed lines: ", std::to_string(malformed.count),
                    " (first at line " + std::to_string(malformed.first) + ")\n");
  }
  if (interrupted || stop_signal_number() != 0) {
    console_message("\n    Conversion interrupted: ", writer.path, "\n");
    return abandon(writer, ConversionResult::kInterrupted);
  }
  if (reader.read_failed) {
    console_message("\n    Could not read file: ", data_path, "\n");
    return abandon(writer, ConversionResult::kFailed);
  }
  if (writer.fault != HistoryFault::kNone) return abandon(writer, ConversionResult::kFailed);
  // A file of nothing but malformed lines was the wrong file or the wrong
  // format: keeping the old history file is the only useful result.
  if (malformed.count > 0 && state.valid_lines == 0) {
    console_message("    No valid line in file: ", data_path, "\n");
    return abandon(writer, ConversionResult::kFailed);
  }
  if (!commit_history(writer)) {
    report_history_fault(writer);
    return ConversionResult::kFailed;
  }
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
                                    TagTable& tags, TimeZone& zone, Warnings& warnings) {
  CompanionPaths paths;
  if (!companion_paths(data_path, paths)) {
    console_message("\n  Invalid Filename: ", data_path, "\n");
    return ConversionResult::kFailed;
  }
  console_message("\n* Creating file ", paths.history, "\n");

  if (has_extension(data_path, "HST")) {
    console_message("    Data file and history file are the same: ", data_path, "\n");
    return ConversionResult::kFailed;
  }

  paths.header = tag_header_to_read(paths.header);
  const OwnedFile header_file(open_for_reading(paths.header).file);
  if (!is_open(header_file.handle)) {
    console_message("    Could not open file: ", paths.header, "\n");
    return ConversionResult::kFailed;
  }
  LineReader header_reader;
  // The reader takes the descriptor that the handle holds on this system.
  line_reader_init(header_reader, static_cast<int>(header_file.handle.native), 64 * 1024);
  int name_lines = 0;
  const TagHeaderStatus header_status = read_tag_header(header_reader, tags, name_lines);
  header_reader = LineReader{};
  if (header_status == TagHeaderStatus::kOk) {
    check_tag_names(tags, name_lines, paths.header, warnings);
  }
  switch (header_status) {
    case TagHeaderStatus::kOk:
      break;
    case TagHeaderStatus::kInvalidCount:
      console_message("    Invalid tag count in file: ", paths.header, "\n");
      return ConversionResult::kFailed;
    case TagHeaderStatus::kNameTooLong:
      console_message("    Tag name too long in file: ", paths.header, "\n");
      return ConversionResult::kFailed;
    case TagHeaderStatus::kTagListTooLong:
      console_message("    Tag list too long in file: ", paths.header, "\n");
      return ConversionResult::kFailed;
  }

  const OpenedFile data = open_for_reading(data_path);
  const OwnedFile data_file(data.file);
  if (!is_open(data_file.handle)) {
    console_message("    Could not open file: ", data_path, "\n");
    return ConversionResult::kFailed;
  }
  // A data file reached through another name of the history file would be
  // emptied by creating the history file.
  FileIdentity history_identity;
  if (identity_of(paths.history, history_identity).error == 0 &&
      history_identity == data.identity) {
    console_message("    Data file and history file are the same: ", data_path, "\n");
    return ConversionResult::kFailed;
  }
  if (stop_signal_number() != 0) {
    console_message("\n    Conversion interrupted: ", paths.history, "\n");
    return ConversionResult::kInterrupted;
  }

  HistoryWriter writer;
  if (!create_history_file(paths.history, tags, writer)) {
    report_history_fault(writer);
    return ConversionResult::kFailed;
  }
  for (int i = 0; i < tags.count; ++i) console_message("   Tag = ", tag_name(tags, i), " \n");

  return convert_lines(data_file.handle, writer, options, tags, zone, data_path, warnings);
}

}  // namespace

ConversionResult convert_file(const std::string& data_path, const ConversionOptions& options,
                              TagTable& tags, TimeZone& zone, Warnings& warnings) {
  const ConversionResult result = convert_and_report(data_path, options, tags, zone, warnings);
  print_warnings(warnings, data_path);
  warnings = Warnings{};
  return result;
}

ConversionResult convert_file(const std::string& data_path, const ConversionOptions& options,
                              TagTable& tags, TimeZone& zone) {
  Warnings warnings;
  return convert_file(data_path, options, tags, zone, warnings);
}
