// The warnings about data lines: why a line was skipped, and what suggests
// that the layout or the order of the file is not what the converter assumes.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/tag_table.h"
#include "convert/line_timestamp.h"
#include "convert/value_layout.h"
#include "convert/warnings.h"

// Where a warning points: the data file as named and the line's number.
struct LinePlace {
  std::string_view path;
  uint64_t number = 0;
};

// Why a line is malformed; the text of the line itself tells the rest.
enum class MalformedReason { kTimestamp, kTooLong, kBefore1601 };

// A skipped malformed line, with its reason; `separator` and `month_first` are those its
// timestamp was read with.
void warn_malformed_line(Warnings& warnings, LinePlace place, std::string_view line,
                         MalformedReason reason, char separator, bool month_first);

// A time on the 24-hour clock with an AM or PM marker that agrees with it (0 AM, 13-23 PM),
// read as written.
void warn_marked_24_hour(Warnings& warnings, LinePlace place, const LineTimestamp& stamp);

// The unusual fixed-width fields of a line whose values start at `start`,
// from tag `first` on (LayoutFindings::unusual), which read as `values`: a
// misaligned number (told when `check_alignment`, which then turns false), a
// blank field, text that is not a number, and the line ending before a tag.
// A misaligned number names the option or separator that would read the line.
void warn_unusual_fixed_fields(Warnings& warnings, LinePlace place, std::string_view line,
                               size_t start, int first, const double* values, const TagTable& tags,
                               bool& check_alignment, const ValueSyntax& syntax = {});

// A delimited line with `fields` fields for `count` tags; with `nan` the
// missing tags read NaN.
void warn_field_count(Warnings& warnings, LinePlace place, int fields, int count, bool nan = false);

// Every delimited field of the text from `start` on, from field `first` on
// (LayoutFindings::not_a_number) up to the last of `count` tags, that is not
// one number, with the value it read as. Fields are split as `syntax` says.
void warn_non_numbers(Warnings& warnings, LinePlace place, std::string_view line, size_t start,
                      char separator, int first, int count, const double* values,
                      const ValueSyntax& syntax = {});

// The empty or blank delimited fields of the text from `start` on, from
// field `first` on (LayoutFindings::empty) up to the last tag's, in one
// warning: each reads 0, or NaN with `syntax.nan`.
void warn_empty_fields(Warnings& warnings, LinePlace place, std::string_view line, size_t start,
                       char separator, int first, const TagTable& tags,
                       const ValueSyntax& syntax = {});

// Every number beyond binary64's range from tag `first` on
// (LayoutFindings::out_of_range), with the value it read as: in the
// delimited layout when `delimited`, split at `separator`, in the fixed-width
// one otherwise; the values start at `start`.
void warn_out_of_range(Warnings& warnings, LinePlace place, std::string_view line, size_t start,
                       bool delimited, char separator, int first, const double* values,
                       const TagTable& tags, const ValueSyntax& syntax = {});

// A line whose time lies before that of the line with a valid time before it; the dates were
// read month-first when `month_first`.
void warn_backwards(Warnings& warnings, LinePlace place, const LineTimestamp& stamp,
                    uint64_t previous_number, const LineTimestamp& previous, bool month_first);

// A line that a run of NUL bytes ends without a line end, as a power failure leaves a log: it may
// be incomplete.
void warn_nul_break(Warnings& warnings, LinePlace place);

// The file's last line, which has no line end: converted, but it may be incomplete; or, when the
// file grew while it was read (`growing`), left for the next run.
void warn_unended_line(Warnings& warnings, LinePlace place, bool growing);
