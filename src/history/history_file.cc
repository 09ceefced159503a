#include "history/history_file.h"

#include "platform/platform.h"

namespace {

void store_le16(std::string& out, size_t offset, uint16_t v) {
  out[offset] = static_cast<char>(v & 0xFF);
  out[offset + 1] = static_cast<char>(v >> 8);
}

// Ends a history file that failed: its temporary file goes, and the fault stays.
void fail(HistoryWriter& w, HistoryFault fault, int error) {
  if (w.fault == HistoryFault::kNone) {
    w.fault = fault;
    w.error = error;
  }
  discard_replacement(w.file);
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
  if (const ReplaceResult begun = begin_replacement(path, w.file);
      begun.failed != ReplaceStep::kNone) {
    fail(w, HistoryFault::kCreate, begun.error);
    return false;
  }
  std::string header;
  encode_history_header(tags, header);
  w.record_length = history_record_length(tags.count);
  if (const SysResult written = write_replacement(w.file, header.data(), header.size());
      written.error != 0) {
    fail(w, HistoryFault::kWrite, written.error);
    return false;
  }
  return true;
}

bool write_records(HistoryWriter& w, const unsigned char* data, size_t size) {
  if (w.fault != HistoryFault::kNone) return false;
  if (size == 0) return true;
  const SysResult written = write_replacement(w.file, data, size);
  // The temporary file stays until the run ends it: discard_history removes it.
  if (written.error != 0) {
    w.fault = HistoryFault::kWrite;
    w.error = written.error;
  }
  return written.error == 0;
}

bool commit_history(HistoryWriter& w) {
  if (!is_open(w.file.file)) return false;
  if (w.fault != HistoryFault::kNone) {
    discard_replacement(w.file);
    return false;
  }
  const ReplaceResult committed = commit_replacement(w.file);
  if (committed.failed != ReplaceStep::kNone) {
    fail(w, HistoryFault::kWrite, committed.error);
    return false;
  }
  return true;
}

void discard_history(HistoryWriter& w) {
  discard_replacement(w.file);
}
