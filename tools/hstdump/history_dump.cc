#include "history_dump.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "dump_format.h"
#include "history/history_reader.h"

namespace {

// Records are read in chunks of about this many bytes (rounded down to whole records).
constexpr size_t kReadChunk = 256 * 1024;

// Closes a descriptor when the dump leaves its scope.
struct FileCloser {
  int fd = -1;
  ~FileCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// Reads up to `size` bytes at `offset`, stopping early only at the end of
// the file. Returns the count read, or -1 with errno set.
ssize_t read_at(int fd, unsigned char* data, size_t size, uint64_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

int fail(const std::string& path, const std::string& fault) {
  report_error(path + ": " + fault);
  return 1;
}

int read_failure(const std::string& path) {
  return fail(path, std::string("read error: ") + std::strerror(errno));
}

// The exit status once the output is finished: a closed pipe ends quietly.
int output_status(OutputBuffer& out, int status) {
  output_flush(out);
  if (out.error != 0) {
    report_error(std::string("standard output: ") + std::strerror(out.error));
    return 1;
  }
  return status;
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

// Reads the ticks of record `index` into `ticks`. Returns the bytes read (8
// when the record is there), or -1 with errno set.
ssize_t ticks_of_record(int fd, const HistoryHeader& header, uint64_t index, Ticks& ticks) {
  unsigned char bytes[8];
  const uint64_t offset = static_cast<uint64_t>(header.header_length) +
                          index * static_cast<uint64_t>(header.record_length);
  const ssize_t got = read_at(fd, bytes, sizeof bytes, offset);
  if (got == static_cast<ssize_t>(sizeof bytes)) ticks = record_ticks(bytes);
  return got;
}

void write_summary(OutputBuffer& out, const HistoryHeader& header, uint64_t records,
                   uint64_t trailing, const std::string& first, const std::string& last) {
  write_line(out, "format code", std::to_string(header.format_code));
  write_line(out, "tag count", std::to_string(header.tag_count));
  write_line(out, "record length", std::to_string(header.record_length));
  write_line(out, "header length", std::to_string(header.header_length));
  write_line(out, "record count", std::to_string(records));
  if (trailing != 0) write_line(out, "trailing bytes", std::to_string(trailing));
  write_line(out, "first time", first);
  write_line(out, "last time", last);
}

void write_column_names(OutputBuffer& out, const HistoryHeader& header) {
  std::string row = "time";
  for (const std::string& name : header.tag_names) {
    row += ',';
    append_csv_field(name, row);
  }
  row += '\n';
  output_write(out, row);
}

// Prints the whole records in [records, records + size).
void write_rows(OutputBuffer& out, const HistoryHeader& header, TimeZone* zone,
                const unsigned char* records, size_t size) {
  const size_t record_length = static_cast<size_t>(header.record_length);
  // Time, then per tag a comma and a value, then LF.
  char row[kMaxTimeText + kMaxTags * (1 + kMaxValueText) + 1];
  for (size_t at = 0; at + record_length <= size && !output_stopped(out); at += record_length) {
    const unsigned char* record = records + at;
    char* end = format_time(record_ticks(record), zone, row);
    for (int k = 0; k < header.tag_count; ++k) {
      *end++ = ',';
      end = format_value(record_value(record, k), end);
    }
    *end++ = '\n';
    output_write(out, std::string_view(row, static_cast<size_t>(end - row)));
  }
}

}  // namespace

int dump_history_file(const std::string& path, const DumpSettings& settings, OutputBuffer& out) {
  FileCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return fail(path, std::string("cannot open: ") + std::strerror(errno));
  struct stat info;
  if (::fstat(file.fd, &info) != 0) return read_failure(path);
  if (S_ISDIR(info.st_mode)) return fail(path, "is a directory");
  if (!S_ISREG(info.st_mode)) return fail(path, "is not a regular file");
  const uint64_t file_size = static_cast<uint64_t>(info.st_size);

  HistoryHeader header;
  std::string fault;
  unsigned char fixed[kHistoryFixedHeaderSize];
  const ssize_t fixed_read = read_at(file.fd, fixed, sizeof fixed, 0);
  if (fixed_read < 0) return read_failure(path);
  if (!parse_fixed_header(fixed, static_cast<size_t>(fixed_read), header, fault)) {
    return fail(path, fault);
  }
  std::vector<unsigned char> tag_list(static_cast<size_t>(header.tag_list_length));
  const ssize_t list_read =
      read_at(file.fd, tag_list.data(), tag_list.size(), kHistoryFixedHeaderSize);
  if (list_read < 0) return read_failure(path);
  if (!parse_tag_list(tag_list.data(), static_cast<size_t>(list_read), header, fault)) {
    return fail(path, fault);
  }

  // The summary and the rows both describe the file as long as it was when opened.
  const uint64_t records = whole_record_count(header, file_size);
  const uint64_t trailing = trailing_byte_count(header, file_size);
  std::string first = "none", last = "none";
  if (records > 0) {
    Ticks first_ticks = 0, last_ticks = 0;
    for (const auto& [index, ticks] : {std::pair<uint64_t, Ticks*>{0, &first_ticks},
                                       std::pair<uint64_t, Ticks*>{records - 1, &last_ticks}}) {
      const ssize_t got = ticks_of_record(file.fd, header, index, *ticks);
      if (got < 0) return read_failure(path);
      if (got != 8) return fail(path, "file shrank while being read");
    }
    first = time_text(first_ticks, settings.zone);
    last = time_text(last_ticks, settings.zone);
  }
  write_summary(out, header, records, trailing, first, last);

  if (!settings.summary_only) {
    write_column_names(out, header);
    const size_t record_length = static_cast<size_t>(header.record_length);
    const size_t chunk = kReadChunk - kReadChunk % record_length;
    const auto buffer = std::make_unique<unsigned char[]>(chunk);
    uint64_t offset = static_cast<uint64_t>(header.header_length);
    uint64_t left = records * record_length;
    while (left > 0 && !output_stopped(out)) {
      const size_t want = left < chunk ? static_cast<size_t>(left) : chunk;
      const ssize_t got = read_at(file.fd, buffer.get(), want, offset);
      if (got < 0) {
        output_status(out, 1);
        return read_failure(path);
      }
      write_rows(out, header, settings.zone, buffer.get(), static_cast<size_t>(got));
      if (static_cast<size_t>(got) < want) {
        output_status(out, 1);
        return fail(path, "file shrank while being read");
      }
      offset += want;
      left -= want;
    }
  }
  if (out.pipe_closed) return 0;
  // The rows reach the output before the message about the partial record.
  const int status = output_status(out, 0);
  if (status != 0) return status;
  if (trailing != 0) return fail(path, partial_record_fault(header, trailing));
  return 0;
}
