#include "convert/conversion.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "common/console.h"
#include "common/file_names.h"
#include "common/interrupt.h"
#include "convert/block_conversion.h"
#include "convert/block_pipeline.h"
#include "convert/block_reader.h"
#include "convert/line_warnings.h"
#include "convert/progress_counter.h"
#include "convert/tag_header.h"
#include "history/history_file.h"

namespace {

// Closes a descriptor when the run leaves its scope.
struct FileCloser {
  int fd = -1;
  ~FileCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// Ends a run that has failed or stopped: the history file stays as it was.
ConversionResult abandon(HistoryWriter& writer, ConversionResult result) {
  discard_history(writer);
  return result;
}

// Bytes read per block: `block_bytes` when set, else about 1 MiB, less where
// records are large, so that a block's records stay near 2 MiB even if every
// line is short.
size_t block_read_size(const ConversionOptions& options, size_t record_length) {
  if (options.block_bytes > 0) return options.block_bytes;
  constexpr size_t kRecordBytes = 2 << 20;
  return std::clamp<size_t>(kRecordBytes / record_length * 20, 64 << 10, 1 << 20);
}

// Streams the data file into the history file, one record per accepted line,
// converting blocks of lines on every thread the options allow and joining
// them in file order.
ConversionResult convert_lines(int data_fd, HistoryWriter& writer, const ConversionOptions& options,
                               const TagTable& tags, TimeZone& zone, const std::string& data_path,
                               Warnings& warnings) {
  ProgressCounter counter;
  progress_start(counter, console_is_terminal(), options.quiet);
  BlockReader reader;
  block_reader_init(reader, data_fd, block_read_size(options, writer.record_length));
  const BlockSettings settings{&options, &tags, data_path, writer.record_length};
  JoinState state;
  convert_in_order(reader, settings, zone, options.threads, [&](BlockResult& block) {
    for (uint64_t i = 0; i < block.lines; ++i) progress_next_line(counter);
    join_block(state, block, settings, warnings);
    write_records(writer, block.records.get(), block.used);
    return g_stop_signal == 0 && !writer.failed;
  });
  progress_finish(counter);

  if (state.malformed > 0) {
    console_message("\n    Skipped malformed lines: ", std::to_string(state.malformed),
                    " (first at line " + std::to_string(state.first_malformed) + ")\n");
  }
  if (g_stop_signal != 0) {
    console_message("\n    Conversion interrupted: ", writer.path, "\n");
    return abandon(writer, ConversionResult::kInterrupted);
  }
  if (reader.read_failed) {
    console_message("\n    Could not read file: ", data_path, "\n");
    return abandon(writer, ConversionResult::kFailed);
  }
  if (writer.failed) return abandon(writer, ConversionResult::kFailed);
  // A file of nothing but malformed lines was the wrong file or the wrong
  // format: keeping the old history file is the only useful result.
  if (state.malformed > 0 && state.valid == 0) {
    console_message("    No valid line in file: ", data_path, "\n");
    return abandon(writer, ConversionResult::kFailed);
  }
  return commit_history(writer) ? ConversionResult::kOk : ConversionResult::kFailed;
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

  struct stat header_info;
  paths.header = tag_header_to_read(paths.header);
  FileCloser header_file{open_regular_file(paths.header, header_info)};
  if (header_file.fd < 0) {
    console_message("    Could not open file: ", paths.header, "\n");
    return ConversionResult::kFailed;
  }
  BlockReader header_reader;
  block_reader_init(header_reader, header_file.fd, 64 * 1024);
  TagHeaderLayout header_layout;
  const TagHeaderStatus header_status = read_tag_header(header_reader, tags, header_layout);
  header_reader = BlockReader{};
  if (header_status == TagHeaderStatus::kOk) {
    check_tag_names(tags, header_layout, paths.header, warnings);
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
    case TagHeaderStatus::kReadFailed:
      console_message("    Could not read file: ", paths.header, "\n");
      return ConversionResult::kFailed;
  }

  struct stat data_info;
  FileCloser data_file{open_regular_file(data_path, data_info)};
  if (data_file.fd < 0) {
    console_message("    Could not open file: ", data_path, "\n");
    return ConversionResult::kFailed;
  }
  // A data file reached through another name of the history file would be
  // emptied by creating the history file.
  struct stat history_info;
  if (::stat(paths.history.c_str(), &history_info) == 0 &&
      history_info.st_dev == data_info.st_dev && history_info.st_ino == data_info.st_ino) {
    console_message("    Data file and history file are the same: ", data_path, "\n");
    return ConversionResult::kFailed;
  }
  if (g_stop_signal != 0) {
    console_message("\n    Conversion interrupted: ", paths.history, "\n");
    return ConversionResult::kInterrupted;
  }

  HistoryWriter writer;
  if (!create_history_file(paths.history, tags, writer)) return ConversionResult::kFailed;
  for (int i = 0; i < tags.count; ++i) console_message("   Tag = ", tag_name(tags, i), " \n");

  return convert_lines(data_file.fd, writer, options, tags, zone, data_path, warnings);
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
