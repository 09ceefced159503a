// The history file: its layout, and the writer that creates it and appends records.
//
// Layout (all numbers little-endian):
//   0  int16  format code, always 3
//   2  int16  header length, 70 + L (offset of the first record)
//   4  int16  record length, 8 + 8 * N
//   6  uint16 tag list length L
//   8  60 zero bytes
//  68  int16  tag count N
//  70  L bytes: for each tag its name, then TAB SPACE TAB
// then one record per sample: uint64 ticks (100 ns since 1601-01-01 UTC),
// then N binary64 values in tag order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/tag_table.h"
#include "common/ticks.h"
#include "platform/platform.h"

constexpr uint16_t kHistoryFormatCode = 3;
constexpr size_t kHistoryFixedHeaderSize = 70;
constexpr size_t kMaxTagListLength = 16'383;
constexpr char kTagNameTerminator[] = "\t \t";
constexpr size_t kTagNameTerminatorLength = 3;

// Length of the tag list text that `tags` gives.
size_t tag_list_length(const TagTable& tags);

// Record length for `tag_count` tags.
constexpr size_t history_record_length(int tag_count) {
  return 8 + 8 * static_cast<size_t>(tag_count);
}

// Appends the complete header for `tags` (70 fixed bytes plus the tag list) to `out`.
void encode_history_header(const TagTable& tags, std::string& out);

// What went wrong with a history file being written.
enum class HistoryFault : uint8_t {
  kNone,
  kCreate,  // the history file could not be started: "Could not create file"
  kWrite,   // writing, closing or putting it in place failed: "Could not write file"
};

// A history file being written. The header and records go to a hidden
// temporary file beside the final one; only commit_history puts it in place,
// so the file that `path` names is either the complete result or untouched.
// Records arrive in runs of whole records, each written with one call.
// Nothing here prints: the caller tells of `fault`.
struct HistoryWriter {
  Replacement file;  // the temporary file and the file it replaces
  std::string path;  // the history file as named: every message names it
  size_t record_length = 0;
  HistoryFault fault = HistoryFault::kNone;  // the first failure; nothing is written after it
  int error = 0;                             // the system's code for `fault`, 0 if none
};

// Starts the history file `path`: refuses an existing one that is not a
// regular file or may not be written, then creates the temporary file (with
// the permission bits the replaced file has, or 0666 less the umask for a new
// one) and writes the header for `tags` into it. On failure sets `fault`
// (kCreate, or kWrite for the header), removes what it created and returns
// false; `path` is untouched either way.
bool create_history_file(const std::string& path, const TagTable& tags, HistoryWriter& writer);

// The values of the record at `record` (8-byte aligned), to be filled in place: a record holds
// them as binary64 numbers lie in the memory of a little-endian machine. encode_record_time
// then completes the record.
inline double* record_values(unsigned char* record);

// Lays out the time of a record whose values were filled through record_values.
inline void encode_record_time(unsigned char* record, Ticks ticks);

// Appends [data, data + size), whole records laid out through record_values and
// encode_record_time, with one write. Returns false when they could not be written: `fault` is
// then kWrite, and nothing more is written.
bool write_records(HistoryWriter& writer, const unsigned char* data, size_t size);

// Flushes the temporary file to the disk, closes it and renames it over the history file, so
// that even a power failure leaves the old history file or the complete new one. On failure
// sets `fault` to kWrite, removes the temporary file and returns false,
// leaving the history file as it was. False as well, with `fault` unchanged,
// when no history file was started.
bool commit_history(HistoryWriter& writer);

// Closes and removes the temporary file: the history file stays as it was.
// Harmless when nothing is open.
void discard_history(HistoryWriter& writer);

// --- implementation of the inline hot path ---

inline void store_le64(unsigned char* out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<unsigned char>(v >> (8 * i));
}

inline double* record_values(unsigned char* record) {
  static_assert(std::endian::native == std::endian::little, "records hold values as they lie");
  return reinterpret_cast<double*>(record + 8);
}

inline void encode_record_time(unsigned char* record, Ticks ticks) {
  store_le64(record, ticks);
}
