#include "convert/conversion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string_view>

#include "common/console.h"
#include "common/file_names.h"
#include "common/interrupt.h"
#include "common/line_reader.h"
#include "common/text_scan.h"
#include "common/ticks.h"
#include "convert/line_timestamp.h"
#include "convert/line_warnings.h"
#include "convert/progress_counter.h"
#include "convert/repeated_time.h"
#include "convert/tag_header.h"
#include "convert/time_window.h"
#include "convert/value_layout.h"
#include "history/history_file.h"

namespace {

// Closes a descriptor when the run leaves its scope.
struct FileCloser {
  int fd = -1;
  ~FileCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// Opens a regular file for reading; anything else (a directory, a named pipe,
// a missing or unreadable file) fails. O_NONBLOCK keeps the open of a pipe
// without a writer from waiting forever; regular files ignore it.
int open_regular_file(const std::string& path, struct stat& info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool is_blank(const Line& line) {
  for (size_t i = 0; i < line.size; ++i) {
    if (!is_space(line.data[i])) return false;
  }
  return true;
}

// Malformed lines seen in one run, reported once at its end.
struct MalformedLines {
  uint64_t count = 0;
  uint64_t first = 0;
};

// Ends a run that has failed or stopped: the history file stays as it was.
ConversionResult abandon(HistoryWriter& writer, ConversionResult result) {
  discard_history(writer);
  return result;
}

void note_malformed(MalformedLines& malformed, uint64_t line_number) {
  if (malformed.count++ == 0) malformed.first = line_number;
}

// Streams the data file into the history file, one record per accepted line.
ConversionResult convert_lines(LineReader& reader, HistoryWriter& writer,
                               const ConversionOptions& options, const TagTable& tags,
                               TimeZone& zone, const std::string& data_path, Warnings& warnings) {
  const bool windowed = options.has_start || options.has_finish;
  const int count = tags.count;
  double values[kMaxTags];
  ProgressCounter counter;
  progress_start(counter, console_is_terminal(), options.quiet);
  MalformedLines malformed;
  uint64_t valid_lines = 0;  // lines with a valid date and time, kept by the window or not
  uint64_t line_number = 0;
  DayCache day_cache;
  int64_t previous_instant = kNoPreviousInstant;  // of the last line with a valid date and time
  Line line;
  bool interrupted = false;
  // Misaligned fixed-width values and a step back in time are told once per file.
  bool check_alignment = !options.delimited;
  bool check_order = true;

  LineTimestamp previous_stamp;
  uint64_t previous_number = 0;

  while (next_line(reader, line)) {
    ++line_number;
    progress_next_line(counter);
    if (g_stop_signal != 0) {
      interrupted = true;
      break;
    }
    LineTimestamp stamp;
    size_t values_column;
    if (line.too_long || !parse_line_timestamp(line.data, line.size, stamp, values_column)) {
      if (line.too_long || !is_blank(line)) {
        note_malformed(malformed, line_number);
        warn_malformed_line(
            warnings, {data_path, line_number}, {line.data, line.size},
            line.too_long ? MalformedReason::kTooLong : MalformedReason::kTimestamp);
      }
      continue;
    }
    // Instants in milliseconds since 1970-01-01 UTC.
    const LocalInstants instants = local_instants(zone, civil_seconds(stamp, day_cache));
    const int64_t instant =
        choose_instant(previous_instant, instants.earlier * 1000 + stamp.millisecond,
                       instants.later * 1000 + stamp.millisecond);
    if (instant < -kSecondsFrom1601To1970 * 1000) {
      note_malformed(malformed, line_number);
      warn_malformed_line(warnings, {data_path, line_number}, {line.data, line.size},
                          MalformedReason::kBefore1601);
      continue;
    }
    ++valid_lines;
    if (check_order) {
      if (instant < previous_instant) [[unlikely]] {
        warn_backwards(warnings, {data_path, line_number}, stamp, previous_number, previous_stamp);
        check_order = false;
      }
      previous_stamp = stamp;
      previous_number = line_number;
    }
    previous_instant = instant;
    if (windowed && !in_time_window(stamp, options)) continue;

    if (options.delimited) {
      LayoutFindings findings;
      extract_line_values(line.data, line.size, values_column, count, options.separator, values,
                          findings);
      if (findings.fields >= 0)
        warn_field_count(warnings, {data_path, line_number}, findings.fields, count);
      if (findings.not_a_number >= 0) {
        warn_not_a_number(warnings, {data_path, line_number}, {line.data, line.size}, values_column,
                          options.separator, findings.not_a_number, values[findings.not_a_number]);
      }
    } else if (check_alignment) {
      LayoutFindings findings;
      extract_fixed_values(line.data, line.size, values_column, count, values, findings);
      if (findings.misaligned >= 0) {
        warn_misaligned_value(warnings, {data_path, line_number}, {line.data, line.size},
                              values_column + 11 * static_cast<size_t>(findings.misaligned),
                              findings.misaligned, tags);
        check_alignment = false;
      }
    } else {
      extract_fixed_values(line.data, line.size, values_column, count, values);
    }
    const Ticks ticks =
        static_cast<Ticks>(instant + kSecondsFrom1601To1970 * 1000) * kTicksPerMillisecond;
    append_record(writer, ticks, values, count);
    if (writer.failed) break;
  }
  progress_finish(counter);

  if (malformed.count > 0) {
    console_message("\n    Skipped malformed lines: ", std::to_string(malformed.count),
                    " (first at line " + std::to_string(malformed.first) + ")\n");
  }
  if (interrupted || g_stop_signal != 0) {
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
  if (malformed.count > 0 && valid_lines == 0) {
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
  LineReader header_reader;
  line_reader_init(header_reader, header_file.fd, 64 * 1024);
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

  LineReader reader;
  line_reader_init(reader, data_file.fd);
  return convert_lines(reader, writer, options, tags, zone, data_path, warnings);
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
