// The conversion of one block of whole lines into records, apart from the
// blocks around it, so that blocks can be converted on several threads. What
// looks across lines (the counter, the repeated hour, time going backwards,
// the first malformed line, the caps on warnings) is left in the result and
// settled by join_block, which takes the blocks in file order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "common/conversion_options.h"
#include "common/tag_table.h"
#include "convert/block_reader.h"
#include "convert/line_timestamp.h"
#include "convert/time_zone.h"
#include "convert/warnings.h"

// A line with a valid date and time. Line numbers count from 1 within the block.
struct LineMoment {
  uint64_t line = 0;
  int64_t instant = 0;  // milliseconds since 1970-01-01 UTC
  LineTimestamp stamp;
};

constexpr size_t kNoRecord = SIZE_MAX;

// A local time that occurs twice, met before the block's first line whose
// time occurs once: which of its instants it stands for depends on the lines
// before the block.
struct RepeatedTimeLine {
  LineMoment moment;          // with the earlier instant
  int64_t later = 0;          // the later instant
  size_t record = kNoRecord;  // offset of its record, or none (the window dropped it)
};

struct BlockResult {
  std::unique_ptr<unsigned char[]> records;
  size_t capacity = 0;  // bytes
  size_t used = 0;      // bytes of whole records
  uint64_t lines = 0;
  uint64_t malformed = 0;
  uint64_t first_malformed = 0;
  uint64_t valid = 0;                     // lines with a valid date and time
  Warnings warnings;                      // line numbers within the block
  std::vector<RepeatedTimeLine> leading;  // in line order
  bool has_settled = false;               // a line after the leading ones had a valid time
  LineMoment first_settled;               // the first such line
  LineMoment last_settled;                // the last line with a valid time
  bool backwards = false;                 // time went back between two settled lines
  LineMoment back_from;                   // the first such step: from this line...
  LineMoment back_to;                     // ...to this one
};

// What every block of one data file shares.
struct BlockSettings {
  const ConversionOptions* options = nullptr;
  const TagTable* tags = nullptr;
  std::string_view data_path;
  size_t record_length = 0;
};

// What one thread keeps from block to block.
struct BlockWorker {
  TimeZone zone;
  DayCache day_cache;
};

// Makes `result` able to hold the records of any block `reader` fills.
void block_result_init(BlockResult& result, const BlockReader& reader, size_t record_length);

// Converts the lines of `block` into `result` (emptied first).
void convert_block(const Block& block, const BlockSettings& settings, BlockWorker& worker,
                   BlockResult& result);
