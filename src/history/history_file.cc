#include "history/history_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "common/console.h"
#include "common/write_fully.h"

namespace {

constexpr size_t kWriteChunk = 1 << 20;

void store_le16(std::string& out, size_t offset, uint16_t v) {
  out[offset] = static_cast<char>(v & 0xFF);
  out[offset + 1] = static_cast<char>(v >> 8);
}

void report_write_failure(HistoryWriter& w) {
  if (!w.failed) console_message("\n    Could not write file: ", w.path, "\n");
  w.failed = true;
}

}  // namespace

size_t tag_list_length(const TagTable& tags) {
  size_t length = 0;
  for (int i = 0; i < tags.count; ++i) length += tags.name_length[i] + kTagNameTerminatorLength;
  return length;
}

void encode_history_header(const TagTable& tags, std::string& out) {
  const size_t list_length = tag_list_length(tags);
  const size_t start = out.size();
  out.append(kHistoryFixedHeaderSize, '\0');
  store_le16(out, start + 0, kHistoryFormatCode);
  store_le16(out, start + 2, static_cast<uint16_t>(kHistoryFixedHeaderSize + list_length));
  store_le16(out, start + 4, static_cast<uint16_t>(history_record_length(tags.count)));
  store_le16(out, start + 6, static_cast<uint16_t>(list_length));
  store_le16(out, start + 68, static_cast<uint16_t>(tags.count));
  for (int i = 0; i < tags.count; ++i) {
    out.append(tag_name(tags, i));
    out.append(kTagNameTerminator, kTagNameTerminatorLength);
  }
}

bool create_history_file(const std::string& path, const TagTable& tags, HistoryWriter& w) {
  w = HistoryWriter{};
  w.path = path;
  w.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (w.fd < 0) {
    console_message("    Could not create file: ", path, "\n");
    return false;
  }
  std::string header;
  encode_history_header(tags, header);
  w.header_length = header.size();
  w.record_length = history_record_length(tags.count);
  if (write_fully(w.fd, header.data(), header.size(), w.bytes_in_file) != 0) {
    report_write_failure(w);
    ::close(w.fd);
    w.fd = -1;
    return false;
  }
  // A whole number of the largest records fits, so a flush is never needed mid-record.
  w.capacity = kWriteChunk - kWriteChunk % w.record_length;
  w.buffer = std::make_unique_for_overwrite<unsigned char[]>(w.capacity);
  return true;
}

bool flush_history(HistoryWriter& w) {
  if (w.failed) {
    w.used = 0;
    return false;
  }
  if (w.used == 0) return true;
  const bool ok = write_fully(w.fd, w.buffer.get(), w.used, w.bytes_in_file) == 0;
  w.used = 0;
  if (ok) return true;
  report_write_failure(w);
  // Drop a partly written record so that the file holds whole records only.
  const uint64_t records = (w.bytes_in_file - w.header_length) / w.record_length;
  const uint64_t whole = w.header_length + records * w.record_length;
  if (whole != w.bytes_in_file && ::ftruncate(w.fd, static_cast<off_t>(whole)) == 0) {
    w.bytes_in_file = whole;
  }
  return false;
}

bool close_history(HistoryWriter& w) {
  if (w.fd < 0) return !w.failed;
  bool ok = flush_history(w);
  if (::close(w.fd) != 0 && ok) {
    report_write_failure(w);
    ok = false;
  }
  w.fd = -1;
  w.buffer.reset();
  return ok;
}
