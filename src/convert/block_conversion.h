// The conversion of a data file in blocks of whole lines, and the join of the
// converted blocks in file order: the one home of every rule that looks
// across lines (the repeated hour, time going backwards, the malformed-line
// count and the caps on warnings).
//
// convert_block sees one block alone, so it can run on any thread; what
// depends on the lines before the block it leaves in the BlockResult.
// join_block, called for every block in file order, settles it.
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
#include "convert/value_layout.h"
#include "convert/warnings.h"
#include "zone/time_zone.h"

// A line with a valid date and time.
struct LineMoment {
  uint64_t line = 0;    // its number: within the block in a BlockResult, in the file once joined
  int64_t instant = 0;  // milliseconds since 1970-01-01 UTC
  LineTimestamp stamp;
};

constexpr size_t kNoRecord = SIZE_MAX;

// A local time that occurs twice (clocks going back), met before the block's
// first line whose instant is settled: which instant it stands for depends on
// the line before it, which may lie in an earlier block.
struct RepeatedTimeLine {
  LineMoment moment;          // with the earlier instant
  int64_t later = 0;          // the later instant
  size_t record = kNoRecord;  // offset of its record in `records`, or none (the window dropped it)
};

// What convert_block makes of one block. Line numbers count from 1 within the
// block. Invariants once convert_block returns:
// - `records` holds `used` bytes of whole records, one per line the window
//   kept, in line order; a record of a `leading` line carries the earlier
//   instant until join_block settles it.
// - Every line is counted once in `lines`: blank, malformed (`malformed`,
//   the first at `first_malformed`) or valid (`valid`, whether the window kept
//   it or not).
// - The valid lines come in two runs: `leading` (repeated local times before
//   any other valid line), then the settled ones, whose instants were chosen
//   from the line before them within the block. `has_settled` tells whether
//   there is a settled line; `first_settled` and `last_settled` are the first
//   and last of them, and `before_last_settled` the instant of the settled
//   line before the last (kNoPreviousInstant when there is only one).
// - `backwards` marks the first step back in time between two settled lines,
//   from `back_from` to `back_to`.
// - `nul_break` is the first line that a NUL run ends by itself, 0 for none.
// - `warnings` holds the block's own warnings, each kind capped as for a whole
//   file; their line numbers are the block's.
struct BlockResult {
  std::unique_ptr<unsigned char[]> records;
  size_t capacity = 0;  // bytes
  size_t used = 0;      // bytes of whole records
  uint64_t lines = 0;
  uint64_t malformed = 0;
  uint64_t first_malformed = 0;
  uint64_t valid = 0;
  Warnings warnings;
  std::vector<RepeatedTimeLine> leading;
  bool has_settled = false;
  LineMoment first_settled;
  LineMoment last_settled;
  int64_t before_last_settled = 0;
  bool backwards = false;
  LineMoment back_from;
  LineMoment back_to;
  uint64_t nul_break = 0;
};

// What every block of one data file shares.
struct BlockSettings {
  const ConversionOptions* options = nullptr;
  const TagTable* tags = nullptr;
  std::string_view data_path;  // names the file in warnings
  size_t record_length = 0;
};

// What one thread keeps from block to block.
struct BlockWorker {
  TimeZone zone;
  DayCache day_cache;
  StampCache stamp_cache;
  FieldShapes shapes;
};

// Makes `result` able to hold the records of any block `reader` fills, keeping its memory when
// that is large enough.
void block_result_init(BlockResult& result, const BlockReader& reader, size_t record_length);

// Settles the line ends of `block` and converts its lines into `result` (emptied first).
void convert_block(Block& block, const BlockSettings& settings, BlockWorker& worker,
                   BlockResult& result);

// `previous` before the first line of a file with a valid date and time.
constexpr int64_t kNoPreviousInstant = INT64_MIN;

// What carries over from block to block while they are joined. Invariants
// after each join_block: `lines`, `malformed`, `first_malformed` and `valid`
// count the file's lines so far as BlockResult does for one block (line
// numbers in the file); `previous` is the instant of the last line with a
// valid date and time (kNoPreviousInstant before the first), which
// `previous_moment` is, and `before_previous` that of the line before it; `check_order` is false
// once time going backwards has been told, and `check_nul_break` once a line ended by NUL bytes
// has, each of which happens once per file.
struct JoinState {
  uint64_t lines = 0;
  uint64_t malformed = 0;
  uint64_t first_malformed = 0;
  uint64_t valid = 0;
  int64_t previous = kNoPreviousInstant;
  int64_t before_previous = kNoPreviousInstant;
  LineMoment previous_moment;
  bool check_order = true;
  bool check_nul_break = true;
};

// Adds the next block of the file, converted, to `state`: settles the instants
// of its leading repeated times in its records, tells time going backwards,
// and moves its warnings into `warnings` with file line numbers and the caps
// of the whole file. Its records are then final.
void join_block(JoinState& state, BlockResult& result, const BlockSettings& settings,
                Warnings& warnings);
