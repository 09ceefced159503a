// Fuzz check of a whole conversion: the input becomes a data file beside a
// fixed tag header, convert_file runs on it, and the history file must hold
// exactly the header and one record per line that parses, lies after 1601 and
// passes the window, worked out here from the input's own lines.
//
// Input: [tags % 251] [flags] [start h m s] [finish h m s] [shape] data...
// flags: 1 delimited, 2|4 separator (TAB ; blank ,), 8 start bound, 16 finish
// bound, 32 zone 5:30 east of UTC, 64 with shape bits 3-5 clear: the data starts
// with a line near the length limit (its length within 4 of it: shape bits 0-2).
// shape bits 6-7: blocks of 61, 7, 1024 or 65536 bytes (65536 with the long line,
// which would otherwise take thousands of reads).
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "common/console.h"
#include "common/conversion_options.h"
#include "common/tag_table.h"
#include "convert/conversion.h"
#include "convert/line_timestamp.h"
#include "convert/system_time_zone.h"
#include "convert/value_layout.h"
#include "line_check.h"
#include "reference_lines.h"
#include "zone/time_zone.h"

namespace fuzz_check {

constexpr size_t kRunInputHeader = 9;
constexpr int64_t kEastOffsetSeconds = 5 * 3600 + 30 * 60;

// One temporary folder per process, removed at exit.
struct RunFolder {
  std::string dir, data, header, history;
};

inline void remove_run_folder();

inline const RunFolder& run_folder() {
  static const RunFolder folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tagpress_fuzz_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    // The converter's messages are not checked here.
    console_open(handle_of_descriptor(open("/dev/null", O_WRONLY | O_CLOEXEC)));
    std::atexit(remove_run_folder);
    return RunFolder{pattern, pattern + "/run.txt", pattern + "/run.HDR", pattern + "/run.HST"};
  }();
  return folder;
}

inline void remove_run_folder() {
  const RunFolder& f = run_folder();
  for (const std::string* path : {&f.data, &f.header, &f.history}) unlink(path->c_str());
  rmdir(f.dir.c_str());
}

inline void write_whole_file(const std::string& path, std::string_view content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(content.data(), static_cast<long>(content.size()));
}

inline void put_le(std::string& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

// The name of tag i in the fixed tag header.
inline std::string tag_name_of(int i) {
  std::string name = "T";
  name += std::to_string(i);
  return name;
}

// Seconds since 1970 of a civil date and time, read as UTC, worked out by
// <chrono> rather than by the product's calendar code.
inline int64_t seconds_of(const LineTimestamp& s) {
  using namespace std::chrono;
  const sys_seconds instant = sys_days{year{s.year} / s.month / s.day} + hours{s.hour} +
                              minutes{s.minute} + seconds{s.second};
  return instant.time_since_epoch().count();
}

// The history file the conversion should write; `has_valid` and
// `has_malformed` tell whether any line had a valid date and time and whether
// any was malformed.
inline std::string expected_history(std::string_view data, int count,
                                    const ConversionOptions& options, int64_t offset,
                                    bool& has_valid, bool& has_malformed) {
  has_valid = has_malformed = false;
  std::string out;
  std::string list;
  for (int i = 0; i < count; ++i) list += tag_name_of(i) + "\t \t";
  put_le(out, 3, 2);
  put_le(out, 70 + list.size(), 2);
  put_le(out, 8 + 8 * static_cast<uint64_t>(count), 2);
  put_le(out, list.size(), 2);
  out.append(60, '\0');
  put_le(out, static_cast<uint64_t>(count), 2);
  out += list;

  const auto values = std::make_unique<double[]>(static_cast<size_t>(count));
  for (const ReferenceLine& line : reference_lines(data)) {
    LineTimestamp stamp;
    size_t column;
    if (line.too_long || !parse_line_timestamp(line.text.data(), line.text.size(),
                                               options.separator, stamp, column)) {
      if (line.too_long || line.text.find_first_not_of(" \t\n\v\f\r") != std::string_view::npos) {
        has_malformed = true;
      }
      continue;
    }
    const int64_t utc = seconds_of(stamp) - offset;
    if (utc < -11'644'473'600) {
      has_malformed = true;
      continue;
    }
    has_valid = true;
    if (options.has_start && compare_time(stamp, options.start) < 0) continue;
    if (options.has_finish && compare_time(stamp, options.finish) > 0) continue;
    if (options.delimited) {
      extract_line_values(line.text.data(), line.text.size(), column, count, options.separator,
                          values.get());
    } else {
      extract_fixed_values(line.text.data(), line.text.size(), column, count, values.get());
    }
    put_le(out,
           static_cast<uint64_t>(utc + 11'644'473'600) * 10'000'000 +
               uint64_t{stamp.millisecond} * 10'000,
           8);
    for (int k = 0; k < count; ++k) {
      uint64_t bits;
      std::memcpy(&bits, &values[k], 8);
      put_le(out, bits, 8);
    }
  }
  return out;
}

inline std::string check_run(const uint8_t* bytes, size_t size) {
  if (size < kRunInputHeader) return "";
  static const TimeZone kUtc = utc_time_zone();
  // The C library's zone is process-wide: the fuzz process runs in this one throughout.
  static const TimeZone kEast = [] {
    setenv("TZ", "<+0530>-5:30", 1);
    return load_system_time_zone();
  }();
  const RunFolder& folder = run_folder();

  const int count = bytes[0] % 251;
  const uint8_t flags = bytes[1];
  ConversionOptions options;
  options.delimited = (flags & 1) != 0;
  options.separator = "\t; ,"[flags >> 1 & 3];
  options.has_start = (flags & 8) != 0;
  options.has_finish = (flags & 16) != 0;
  options.start = bound_from_bytes(bytes + 2);
  options.finish = bound_from_bytes(bytes + 5);
  const bool east = (flags & 32) != 0;
  // Three threads and small blocks, so that joining blocks is checked on every input.
  const uint8_t shape = bytes[8];
  const bool long_line = (flags & 64) != 0 && (shape & 0x38) == 0;
  options.threads = 3;
  options.block_bytes = long_line ? 65536 : std::array<size_t, 4>{61, 7, 1024, 65536}[shape >> 6];

  std::string data;
  if (long_line) {
    // A first line whose length ends within a few characters of the limit,
    // depending on what the input puts behind it (CR, LF, more text).
    data = "05/03/2015 10:20:30";
    data.append(kMaxLineLength - 4 + shape % 8 - data.size(), 'x');
  }
  data.append(reinterpret_cast<const char*>(bytes) + kRunInputHeader, size - kRunInputHeader);

  std::string header = std::to_string(count) + "\n";
  for (int i = 0; i < count; ++i) header += tag_name_of(i) + "\n";
  write_whole_file(folder.header, header);
  write_whole_file(folder.data, data);
  unlink(folder.history.c_str());

  auto tags = std::make_unique<TagTable>();
  TimeZone zone = east ? kEast : kUtc;
  const ConversionResult result = convert_file(folder.data, options, *tags, zone);
  bool has_valid, has_malformed;
  const std::string expected = expected_history(data, count, options, east ? kEastOffsetSeconds : 0,
                                                has_valid, has_malformed);
  if (has_malformed && !has_valid) {
    // Nothing readable: the run fails and creates no history file.
    if (result != ConversionResult::kFailed) return "a file without a valid line converted";
    if (access(folder.history.c_str(), F_OK) == 0) return "a failed run left a history file";
    return "";
  }
  if (result != ConversionResult::kOk) return "the conversion failed";

  std::ifstream in(folder.history, std::ios::binary);
  const std::string history(std::istreambuf_iterator<char>(in), {});
  const size_t header_length =
      70 + static_cast<size_t>(expected[6] & 0xFF) + (static_cast<size_t>(expected[7] & 0xFF) << 8);
  if (history.size() < header_length) return "history file shorter than its header";
  if (history.compare(0, header_length, expected, 0, header_length) != 0) {
    return "history header differs";
  }
  const size_t record = 8 + 8 * static_cast<size_t>(count);
  if ((history.size() - header_length) % record != 0)
    return "history file ends in a partial record";
  if (history.size() != expected.size()) return "record count differs from the accepted lines";
  if (history != expected) return "a record differs from its line";
  return "";
}

}  // namespace fuzz_check
