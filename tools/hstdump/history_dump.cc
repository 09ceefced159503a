#include "history_dump.h"

#include <cstring>
#include <memory>
#include <utility>

#include "dump_columns.h"
#include "dump_format.h"
#include "history/history_reader.h"
#include "platform/platform.h"
#include "tag_name_text.h"

namespace {

// Records are read in chunks of about this many bytes (rounded down to whole records).
constexpr size_t kReadChunk = 256 * 1024;

// A history file open for reading, with its checked header.
struct OpenHistory {
  OwnedFile file;
  HistoryHeader header;
  uint64_t size = 0;      // bytes when opened; everything printed describes this length
  int recoded_names = 0;  // tag names that were not UTF-8 and are read as Windows-1252
};

int fail(const std::string& path, const std::string& fault) {
  report_error(path + ": " + fault);
  return 1;
}

int read_failure(const std::string& path, int error) {
  return fail(path, "read error: " + error_text(error));
}

// The message for a file that did not open.
int open_failure(const std::string& path, const OpenedFile& opened) {
  switch (opened.fault) {
    case OpenFault::kOpen:
      return fail(path, "cannot open: " + error_text(opened.error));
    case OpenFault::kStatus:
      return read_failure(path, opened.error);
    case OpenFault::kDirectory:
      return fail(path, "is a directory");
    case OpenFault::kNone:
    case OpenFault::kNotRegular:
      break;
  }
  return fail(path, "is not a regular file");
}

// Opens the file at `path` and checks its header. Returns 0, or 1 after the
// message.
int open_history(const std::string& path, OpenHistory& history) {
  const OpenedFile opened = open_for_reading(path);
  if (opened.fault != OpenFault::kNone) return open_failure(path, opened);
  history.file.handle = opened.file;
  history.size = opened.size;

  std::string fault;
  unsigned char fixed[kHistoryFixedHeaderSize];
  const SizeResult fixed_read = read_at(opened.file, fixed, sizeof fixed, 0);
  if (fixed_read.error != 0) return read_failure(path, fixed_read.error);
  if (!parse_fixed_header(fixed, fixed_read.bytes, history.header, fault)) {
    return fail(path, fault);
  }
  std::vector<unsigned char> tag_list(static_cast<size_t>(history.header.tag_list_length));
  const SizeResult list_read =
      read_at(opened.file, tag_list.data(), tag_list.size(), kHistoryFixedHeaderSize);
  if (list_read.error != 0) return read_failure(path, list_read.error);
  if (!parse_tag_list(tag_list.data(), list_read.bytes, history.header, fault)) {
    return fail(path, fault);
  }
  history.recoded_names = recode_tag_names(history.header.tag_names);
  return 0;
}

// Tells, once per file, that some of its tag names were read as Windows-1252: what is
// printed then differs from the bytes in the file.
void report_recoded_names(const std::string& path, const OpenHistory& history) {
  if (history.recoded_names == 0) return;
  report_error(path + ": " + std::to_string(history.recoded_names) + " of " +
               std::to_string(history.header.tag_count) + " tag names " +
               (history.recoded_names == 1 ? "is" : "are") + " not UTF-8; read as Windows-1252");
}

// After a file's output: the message about a partial last record, once
// everything before it has reached the output.
int report_partial_record(const std::string& path, const OpenHistory& history, OutputBuffer& out) {
  const uint64_t trailing = trailing_byte_count(history.header, history.size);
  if (trailing == 0 || !output_flush(out)) return 0;
  return fail(path, partial_record_fault(history.header, trailing));
}

void write_line(OutputBuffer& out, const char* label, const std::string& value) {
  output_write(out, "# ");
  output_write(out, label);
  output_write(out, ": ");
  output_write(out, value);
  output_write(out, "\n");
}

std::string time_text(Ticks ticks, TimeZone* zone) {
  char text[kMaxTimeText];
  return std::string(text, format_time(ticks, zone, text));
}

// Reads the ticks of record `index` into `ticks`. The bytes read are 8 when
// the record is there.
SizeResult ticks_of_record(FileHandle file, const HistoryHeader& header, uint64_t index,
                           Ticks& ticks) {
  unsigned char bytes[8];
  const uint64_t offset = static_cast<uint64_t>(header.header_length) +
                          index * static_cast<uint64_t>(header.record_length);
  const SizeResult got = read_at(file, bytes, sizeof bytes, offset);
  if (got.error == 0 && got.bytes == sizeof bytes) ticks = record_ticks(bytes);
  return got;
}

// Prints the summary lines of an open file; returns its exit status.
int write_summary(const std::string& path, const OpenHistory& history, TimeZone* zone,
                  OutputBuffer& out) {
  const HistoryHeader& header = history.header;
  const uint64_t records = whole_record_count(header, history.size);
  std::string first = "none", last = "none";
  if (records > 0) {
    Ticks first_ticks = 0, last_ticks = 0;
    for (const auto& [index, ticks] : {std::pair<uint64_t, Ticks*>{0, &first_ticks},
                                       std::pair<uint64_t, Ticks*>{records - 1, &last_ticks}}) {
      const SizeResult got = ticks_of_record(history.file.handle, header, index, *ticks);
      if (got.error != 0) return read_failure(path, got.error);
      if (got.bytes != 8) return fail(path, "file shrank while being read");
    }
    first = time_text(first_ticks, zone);
    last = time_text(last_ticks, zone);
  }
  const uint64_t trailing = trailing_byte_count(header, history.size);
  write_line(out, "format code", std::to_string(header.format_code));
  write_line(out, "tag count", std::to_string(header.tag_count));
  write_line(out, "record length", std::to_string(header.record_length));
  write_line(out, "header length", std::to_string(header.header_length));
  write_line(out, "record count", std::to_string(records));
  if (trailing != 0) write_line(out, "trailing bytes", std::to_string(trailing));
  write_line(out, "first time", first);
  write_line(out, "last time", last);
  return report_partial_record(path, history, out);
}

void write_column_names(OutputBuffer& out, bool file_column,
                        const std::vector<std::string>& columns) {
  std::string row = file_column ? "file,time" : "time";
  for (const std::string& name : columns) {
    row += ',';
    append_csv_field(name, row);
  }
  row += '\n';
  output_write(out, row);
}

// How the rows of one file are laid out.
struct RowLayout {
  std::string prefix;              // empty, or the file column's field and its comma
  std::vector<int> tag_of_column;  // per value column: the tag shown, or -1 for an empty cell
};

// Prints the whole records in [records, records + size) into `row`, which
// has room for one row.
void write_rows(OutputBuffer& out, const HistoryHeader& header, const RowLayout& layout,
                TimeZone* zone, const unsigned char* records, size_t size, char* row) {
  const size_t record_length = static_cast<size_t>(header.record_length);
  std::memcpy(row, layout.prefix.data(), layout.prefix.size());
  char* const time_at = row + layout.prefix.size();
  for (size_t at = 0; at + record_length <= size && !output_stopped(out); at += record_length) {
    const unsigned char* record = records + at;
    char* end = format_time(record_ticks(record), zone, time_at);
    for (const int k : layout.tag_of_column) {
      *end++ = ',';
      if (k >= 0) end = format_value(record_value(record, k), end);
    }
    *end++ = '\n';
    output_write(out, std::string_view(row, static_cast<size_t>(end - row)));
  }
}

// Prints one row per whole record of an open file; returns its exit status.
int write_records(const std::string& path, const OpenHistory& history, const RowLayout& layout,
                  TimeZone* zone, OutputBuffer& out) {
  const HistoryHeader& header = history.header;
  const size_t record_length = static_cast<size_t>(header.record_length);
  const size_t chunk = kReadChunk - kReadChunk % record_length;
  const auto buffer = std::make_unique<unsigned char[]>(chunk);
  // Prefix, time, then per column a comma and a value, then LF.
  const auto row = std::make_unique<char[]>(layout.prefix.size() + kMaxTimeText +
                                            layout.tag_of_column.size() * (1 + kMaxValueText) + 1);
  uint64_t offset = static_cast<uint64_t>(header.header_length);
  uint64_t left = whole_record_count(header, history.size) * record_length;
  while (left > 0 && !output_stopped(out)) {
    const size_t want = left < chunk ? static_cast<size_t>(left) : chunk;
    const SizeResult got = read_at(history.file.handle, buffer.get(), want, offset);
    if (got.error != 0) {
      output_flush(out);
      return read_failure(path, got.error);
    }
    write_rows(out, header, layout, zone, buffer.get(), got.bytes, row.get());
    if (got.bytes < want) {
      output_flush(out);
      return fail(path, "file shrank while being read");
    }
    offset += want;
    left -= want;
  }
  return report_partial_record(path, history, out);
}

int dump_summaries(const std::vector<std::string>& paths, TimeZone* zone, OutputBuffer& out) {
  int status = 0;
  for (const std::string& path : paths) {
    if (output_stopped(out)) break;
    OpenHistory history;
    if (open_history(path, history) != 0) {
      status = 1;
      continue;
    }
    report_recoded_names(path, history);
    if (paths.size() > 1) write_line(out, "file", path);
    status |= write_summary(path, history, zone, out);
  }
  return status;
}

int dump_csv(const std::vector<std::string>& paths, TimeZone* zone, OutputBuffer& out) {
  int status = 0;
  const bool several = paths.size() > 1;
  // With several files the header row needs every file's tags first.
  std::vector<std::vector<std::string>> tag_lists(paths.size());
  std::vector<bool> readable(paths.size(), !several);
  for (size_t i = 0; several && i < paths.size(); ++i) {
    OpenHistory history;
    if (open_history(paths[i], history) != 0) {
      status = 1;
      continue;
    }
    report_recoded_names(paths[i], history);
    tag_lists[i] = std::move(history.header.tag_names);
    readable[i] = true;
  }
  std::vector<std::string> columns = merge_columns(tag_lists);
  bool names_written = false;
  for (size_t i = 0; i < paths.size() && !output_stopped(out); ++i) {
    if (!readable[i]) continue;
    OpenHistory history;
    if (open_history(paths[i], history) != 0) {
      status = 1;
      continue;
    }
    if (several && history.header.tag_names != tag_lists[i]) {
      status |= fail(paths[i], "tag names changed while being read");
      continue;
    }
    if (!several) {
      report_recoded_names(paths[i], history);
      columns = history.header.tag_names;
    }
    if (!names_written) write_column_names(out, several, columns);
    names_written = true;
    RowLayout layout;
    if (several) {
      append_csv_field(paths[i], layout.prefix);
      layout.prefix += ',';
    }
    layout.tag_of_column = tags_in_columns(history.header.tag_names, columns);
    status |= write_records(paths[i], history, layout, zone, out);
  }
  return status;
}

}  // namespace

int dump_history_files(const std::vector<std::string>& paths, const DumpSettings& settings,
                       OutputBuffer& out) {
  const int status = settings.summary_only ? dump_summaries(paths, settings.zone, out)
                                           : dump_csv(paths, settings.zone, out);
  output_flush(out);
  if (out.error != 0) {
    report_error("standard output: " + error_text(out.error));
    return 1;
  }
  return status;
}
