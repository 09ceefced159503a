#include "convert/block_conversion.h"

#include "common/text_scan.h"
#include "common/ticks.h"
#include "convert/line_warnings.h"
#include "convert/time_window.h"
#include "convert/value_layout.h"
#include "history/history_file.h"

namespace {

constexpr size_t kShortestValidLine = 20;  // "DD/MM/YYYY HH:MM:SS" and its line feed

void note_malformed(BlockResult& r, uint64_t line) {
  if (r.malformed++ == 0) r.first_malformed = line;
}

// Counts and tells a malformed line, out of the way of the usual lines' path.
[[gnu::noinline, gnu::cold]] void skip_malformed(BlockResult& r, const BlockSettings& settings,
                                                 uint64_t number, const Line& line,
                                                 MalformedReason reason) {
  const ConversionOptions& options = *settings.options;
  note_malformed(r, number);
  // With --blanks the timestamp was read with the blank as its separator.
  warn_malformed_line(r.warnings, {settings.data_path, number}, {line.data, line.size}, reason,
                      options.blanks ? ' ' : options.separator, options.month_first);
}

// The instant of a line whose local time has the instants `earlier` and `later` (equal when the
// time occurs once), all in one unit, given the instants of the two lines of the same data file
// with a valid date and time before it, `previous` and `before` (kNoPreviousInstant where there is
// none): the earlier instant, unless
// - the previous line already lies past it, as in a log written on across the hour the clocks go
//   back; or
// - the previous line is at the earlier instant and the line before that lies exactly the length of
//   the repeat before it, as in an hourly log that writes the repeated hour twice;
// then the later one. Two rows in one second, or an event log that happens to repeat a time, keep
// the earlier instant.
constexpr int64_t choose_instant(int64_t previous, int64_t before, int64_t earlier, int64_t later) {
  if (previous > earlier) return later;
  if (previous == earlier && before != kNoPreviousInstant && previous - before == later - earlier) {
    return later;
  }
  return earlier;
}

// The next line with a valid time, numbered in the file: told when its time
// lies before that of the line before it.
void step_to(JoinState& s, const LineMoment& moment, Warnings& warnings, std::string_view data_path,
             bool month_first) {
  if (s.check_order && moment.instant < s.previous) [[unlikely]] {
    warn_backwards(warnings, {data_path, moment.line}, moment.stamp, s.previous_moment.line,
                   s.previous_moment.stamp, month_first);
    s.check_order = false;
  }
  s.before_previous = s.previous;
  s.previous = moment.instant;
  s.previous_moment = moment;
}

LineMoment in_file(LineMoment moment, uint64_t lines_before) {
  moment.line += lines_before;
  return moment;
}

}  // namespace

void block_result_init(BlockResult& result, const BlockReader& reader, size_t record_length) {
  // Every record comes from a line of at least 20 bytes, but for the line the
  // block starts with, which may be carried over whole.
  const size_t capacity = (reader.read_size / kShortestValidLine + 2) * record_length;
  if (result.records != nullptr && result.capacity >= capacity) return;
  result.capacity = capacity;
  result.records = std::make_unique_for_overwrite<unsigned char[]>(capacity);
}

void convert_block(Block& block, const BlockSettings& settings, BlockWorker& worker,
                   BlockResult& r) {
  const ConversionOptions& options = *settings.options;
  const TagTable& tags = *settings.tags;
  const int count = tags.count;
  const bool windowed = options.has_start || options.has_finish;
  const ValueSyntax syntax{options.decimal_comma, options.blanks, options.nan};
  const bool plain_syntax = !syntax.decimal_comma && !syntax.blanks && !syntax.nan;
  // With --blanks the timestamp's separator is the blank.
  const char separator = options.blanks ? ' ' : options.separator;
  // Misaligned fixed-width values are told once per file; a block looks until it finds one.
  bool check_alignment = true;
  r.used = 0;
  r.lines = r.malformed = r.first_malformed = r.valid = 0;
  r.warnings = Warnings{};
  r.leading.clear();
  r.has_settled = r.backwards = false;
  r.nul_break = 0;
  // Of the last settled line and of the settled line before it. A repeated
  // line right after the first settled one never needs the line before
  // that: its earlier instant can equal the previous instant only where the
  // previous line has the same local time, and so is repeated too.
  int64_t previous = kNoPreviousInstant;
  int64_t before = kNoPreviousInstant;

  size_t nul_break = settle_line_ends(block);
  // Where the next line that needs a look ends: the one that NUL bytes end, then an unended last
  // line.
  const auto next_watch = [&] {
    return nul_break != kNoNulBreak ? nul_break + 1 : block.unended ? block.size : SIZE_MAX;
  };
  size_t watch = next_watch();
  const char* const limit = block.data.get() + block.size + kBlockPadding;
  size_t at = 0;
  Line line;
  while (next_block_line(block, at, line)) {
    const uint64_t number = ++r.lines;
    const LinePlace place{settings.data_path, number};
    if (at >= watch) [[unlikely]] {
      if (nul_break != kNoNulBreak) {
        r.nul_break = number;
        nul_break = kNoNulBreak;
      } else {
        // The line is the file's last and has no line end.
        warn_unended_line(r.warnings, place, block.growing);
        if (block.growing) continue;
      }
      watch = next_watch();
    }
    LineTimestamp stamp;
    size_t values_column;
    bool marked_24_hour;
    if (line.too_long || !parse_line_timestamp(line.data, line.size, separator, stamp,
                                               values_column, worker.stamp_cache, marked_24_hour)) {
      if (line.too_long || !all_space(line.data, line.data + line.size)) {
        skip_malformed(r, settings, number, line,
                       line.too_long ? MalformedReason::kTooLong : MalformedReason::kTimestamp);
      }
      continue;
    }
    if (marked_24_hour) [[unlikely]]
      warn_marked_24_hour(r.warnings, place, stamp);
    const LocalInstants instants =
        local_instants(worker.zone, civil_seconds(stamp, worker.day_cache));
    const int64_t earlier = instants.earlier * 1000 + stamp.millisecond;
    const int64_t later = instants.later * 1000 + stamp.millisecond;
    // Before the first settled line the choice is the joiner's; the earlier
    // instant stands in the record until then.
    const bool leading = !r.has_settled && earlier != later;
    const int64_t instant = leading ? earlier : choose_instant(previous, before, earlier, later);
    if (instant < kFirstTicksMillisecond) {
      skip_malformed(r, settings, number, line, MalformedReason::kBefore1601);
      continue;
    }
    ++r.valid;
    const LineMoment moment{number, instant, stamp};
    if (leading) {
      r.leading.push_back(RepeatedTimeLine{moment, later, kNoRecord});
    } else {
      if (!r.has_settled) {
        r.has_settled = true;
        r.first_settled = moment;
      } else if (!r.backwards && instant < previous) [[unlikely]] {
        r.backwards = true;
        r.back_from = r.last_settled;
        r.back_to = moment;
      }
      r.before_last_settled = previous;
      r.last_settled = moment;
      before = previous;
      previous = instant;
    }
    if (windowed && !in_time_window(stamp, options)) continue;

    // The values go straight into the line's record.
    unsigned char* const record = r.records.get() + r.used;
    double* const values = record_values(record);
    LayoutFindings findings;
    if (options.delimited) {
      if (plain_syntax) [[likely]] {
        extract_line_values(line.data, line.size, limit, values_column, count, separator, values,
                            findings, worker.shapes);
      } else {
        extract_line_values(line.data, line.size, limit, values_column, count, separator, values,
                            findings, worker.shapes, syntax);
      }
      if (findings.fields >= 0) {
        warn_field_count(r.warnings, place, findings.fields, count, options.nan);
      }
      if (findings.not_a_number >= 0) {
        warn_non_numbers(r.warnings, place, {line.data, line.size}, values_column, separator,
                         findings.not_a_number, count, values, syntax);
      }
      if (findings.empty >= 0) {
        warn_empty_fields(r.warnings, place, {line.data, line.size}, values_column, separator,
                          findings.empty, tags, syntax);
      }
    } else {
      if (plain_syntax) [[likely]] {
        extract_fixed_values(line.data, line.size, values_column, count, values, findings,
                             worker.shapes);
      } else {
        extract_fixed_values(line.data, line.size, values_column, count, values, findings,
                             worker.shapes, syntax);
      }
      if (findings.unusual >= 0) [[unlikely]] {
        warn_unusual_fixed_fields(r.warnings, place, {line.data, line.size}, values_column,
                                  findings.unusual, values, tags, check_alignment, syntax);
      }
    }
    if (findings.out_of_range >= 0) [[unlikely]] {
      warn_out_of_range(r.warnings, place, {line.data, line.size}, values_column, options.delimited,
                        separator, findings.out_of_range, values, tags, syntax);
    }
    if (leading) r.leading.back().record = r.used;
    encode_record_time(record, ticks_from_milliseconds(instant));
    r.used += settings.record_length;
  }
}

void join_block(JoinState& s, BlockResult& r, const BlockSettings& settings, Warnings& warnings) {
  const std::string_view path = settings.data_path;
  const bool month_first = settings.options->month_first;
  if (r.malformed > 0 && s.malformed == 0) s.first_malformed = s.lines + r.first_malformed;
  s.malformed += r.malformed;
  s.valid += r.valid;
  if (s.check_nul_break && r.nul_break > 0) {
    warn_nul_break(warnings, {path, s.lines + r.nul_break});
    s.check_nul_break = false;
  }
  append_warnings(warnings, r.warnings, s.lines);
  // Repeated local times before the block's first settled line take their
  // instant from the lines before them.
  for (const RepeatedTimeLine& repeated : r.leading) {
    LineMoment moment = in_file(repeated.moment, s.lines);
    moment.instant =
        choose_instant(s.previous, s.before_previous, repeated.moment.instant, repeated.later);
    if (moment.instant != repeated.moment.instant && repeated.record != kNoRecord) {
      store_le64(r.records.get() + repeated.record, ticks_from_milliseconds(moment.instant));
    }
    step_to(s, moment, warnings, path, month_first);
  }
  if (r.has_settled) {
    step_to(s, in_file(r.first_settled, s.lines), warnings, path, month_first);
    if (s.check_order && r.backwards) {
      const LineMoment to = in_file(r.back_to, s.lines), from = in_file(r.back_from, s.lines);
      warn_backwards(warnings, {path, to.line}, to.stamp, from.line, from.stamp, month_first);
      s.check_order = false;
    }
    if (r.last_settled.line != r.first_settled.line) {
      s.before_previous = r.before_last_settled;
      s.previous_moment = in_file(r.last_settled, s.lines);
      s.previous = s.previous_moment.instant;
    }
  }
  s.lines += r.lines;
}
