#include "convert/line_warnings.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>

#include "common/text_scan.h"
#include "convert/block_reader.h"
#include "convert/number_reader.h"
#include "convert/value_layout.h"

namespace {

// The date and time as the data file writes them: month first when `month_first`.
std::string stamp_text(const LineTimestamp& s, bool month_first) {
  char text[64];
  std::snprintf(text, sizeof text, "%02u/%02u/%04u %02u:%02u:%02u.%03u",
                month_first ? s.month : s.day, month_first ? s.day : s.month, s.year, s.hour,
                s.minute, s.second, s.millisecond);
  return text;
}

std::string value_text(double value) {
  if (value != value) return "NaN";
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace

void warn_malformed_line(Warnings& w, LinePlace place, std::string_view line,
                         MalformedReason reason, char separator, bool month_first) {
  if (!count_warning(w, WarningKind::kMalformedLine)) return;
  std::string why;
  switch (reason) {
    case MalformedReason::kTimestamp:
      why = timestamp_fault(line.data(), line.size(), separator, month_first);
      break;
    case MalformedReason::kTooLong:
      why = "longer than " + std::to_string(kMaxLineLength) + " characters";
      break;
    case MalformedReason::kBefore1601:
      why = "the time falls before 1601-01-01 UTC";
      break;
  }
  show_warning(w, WarningKind::kMalformedLine, place.path, place.number,
               "skipped malformed line (" + why + "): " + quote_line(line));
}

void warn_marked_24_hour(Warnings& w, LinePlace place, const LineTimestamp& stamp) {
  if (!count_warning(w, WarningKind::kClock)) return;
  char time[32];
  std::snprintf(time, sizeof time, "%02u:%02u:%02u", stamp.hour, stamp.minute, stamp.second);
  show_warning(w, WarningKind::kClock, place.path, place.number,
               join({"'", time, stamp.hour == 0 ? " AM" : " PM",
                     "' is a 24-hour time with a 12-hour marker; read as ", time}));
}

namespace {

// "2 (B)".
std::string numbered_name(int tag, const TagTable& tags) {
  return join({std::to_string(tag + 1), " (", tag_name(tags, tag), ")"});
}

std::string tag_columns(size_t column, int tag, const TagTable& tags) {
  return "columns " + std::to_string(column + 1) + "-" + std::to_string(column + 10) + " of tag " +
         numbered_name(tag, tags);
}

// Calls `visit(k, field)` for the delimited field of each tag k from `first` on, split as
// `syntax` says: fields beyond the tags' are not theirs, and the line's last field is only its
// own tag's.
template <typename Visit>
void visit_fields(std::string_view line, size_t start, char separator, const ValueSyntax& syntax,
                  int first, int count, Visit visit) {
  std::string_view rest = start < line.size() ? line.substr(start) : std::string_view();
  for (int k = 0; k < count; ++k) {
    size_t end;
    if (syntax.blanks) {
      const char* const field_end = blank_field_end(rest.data(), rest.data() + rest.size());
      if (field_end == nullptr) return;
      end = static_cast<size_t>(field_end - rest.data());
      // Shown without the blanks before it, which read as nothing.
      const size_t text = std::min(end, rest.find_first_not_of(" \t"));
      if (k >= first) visit(k, rest.substr(text, end - text));
      rest.remove_prefix(end);
      continue;
    }
    end = rest.find(separator);
    if (k >= first) visit(k, rest.substr(0, end));
    if (end == std::string_view::npos) return;
    rest.remove_prefix(end + 1);
  }
}

// Whether every field of `text` split at `separator` (at runs of blanks and tabs with
// `blanks`) holds one number, and there are two at least.
bool splits_into_numbers(std::string_view text, char separator, bool blanks, char dot) {
  int fields = 0;
  bool numbers = true;
  visit_fields(text, 0, separator, ValueSyntax{.blanks = blanks}, 0, kMaxTags + 1,
               [&](int, std::string_view field) {
                 ++fields;
                 numbers = numbers && !all_space(field.data(), field.data() + field.size()) &&
                           delimited_field_is_number(field.data(), field.data() + field.size(),
                                                     field.data() + field.size(), dot);
               });
  return numbers && fields >= 2;
}

// The way out for a fixed-width line whose values at `start` do not line up, where the field at
// `column` ends inside its columns: a decimal comma, the separator that follows the first number
// when splitting there reads every value, or runs of blanks that do; nothing when none would.
std::string layout_advice(std::string_view line, size_t start, size_t column,
                          const ValueSyntax& syntax) {
  const char* const end = line.data() + line.size();
  if (!syntax.decimal_comma && stops_at_decimal_comma(line.data() + column, end)) {
    return "; for decimal commas use --decimal-comma";
  }
  const std::string_view rest = line.substr(start);
  const char dot = decimal_point(syntax);
  const char* stop;
  read_general_number(rest.data(), end, stop, nullptr, dot);
  if (stop != rest.data() && stop < end && !(*stop == ' ' && stop + 1 < end && stop[1] == ' ') &&
      splits_into_numbers(rest, *stop, false, dot)) {
    return *stop == '\t' ? "; for a delimited file use /e"
                         : join({"; for values separated by ", quote_line({stop, 1}),
                                 " use /e with ", quote_line({stop, 1}), " as the separator"});
  }
  if (splits_into_numbers(rest, ' ', true, dot)) {
    return "; for values separated by runs of blanks use --blanks";
  }
  return "";
}

}  // namespace

void warn_unusual_fixed_fields(Warnings& w, LinePlace place, std::string_view line, size_t start,
                               int first, const double* values, const TagTable& tags,
                               bool& check_alignment, const ValueSyntax& syntax) {
  for (int k = first; k < tags.count; ++k) {
    const size_t column = start + 11 * static_cast<size_t>(k);
    switch (fixed_field_fault(line.data(), line.size(), column, decimal_point(syntax))) {
      case FieldFault::kNone:
        break;
      case FieldFault::kMisaligned:
        if (!check_alignment) break;
        check_alignment = false;
        if (!count_warning(w, WarningKind::kMisaligned)) break;
        show_warning(w, WarningKind::kMisaligned, place.path, place.number,
                     tag_columns(column, k, tags) + " hold " + quote_line(line.substr(column, 10)) +
                         ": values do not line up with the fixed-width columns" +
                         layout_advice(line, start, column, syntax));
        break;
      case FieldFault::kBlank:
        if (!count_warning(w, WarningKind::kBlankField)) break;
        show_warning(w, WarningKind::kBlankField, place.path, place.number,
                     tag_columns(column, k, tags) + " are blank; read as " +
                         (values[k] == 0.0 || syntax.nan
                              ? value_text(values[k])
                              : value_text(values[k]) + ", the next number after them"));
        break;
      case FieldFault::kNotANumber:
        if (!count_warning(w, WarningKind::kNotANumber)) break;
        show_warning(w, WarningKind::kNotANumber, place.path, place.number,
                     tag_columns(column, k, tags) + " hold " + quote_line(line.substr(column, 10)) +
                         ", which is not a number; read as " + value_text(values[k]));
        break;
      case FieldFault::kBeyondLine:
        if (count_warning(w, WarningKind::kShortLine)) {
          const std::string tags_read =
              k + 1 == tags.count
                  ? "tag " + std::to_string(k + 1) + " reads"
                  : "tags " + std::to_string(k + 1) + " to " + std::to_string(tags.count) + " read";
          show_warning(w, WarningKind::kShortLine, place.path, place.number,
                       "the line ends before column " + std::to_string(column + 1) +
                           ", where tag " + numbered_name(k, tags) + " starts; " + tags_read + " " +
                           value_text(values[k]));
        }
        return;  // every later tag lies beyond the line too
    }
  }
}

void warn_field_count(Warnings& w, LinePlace place, int fields, int count, bool nan) {
  if (!count_warning(w, WarningKind::kFieldCount)) return;
  std::string text = std::to_string(fields) + (fields == 1 ? " field" : " fields") + " for " +
                     std::to_string(count) + (count == 1 ? " tag" : " tags");
  if (fields == 0) {
    text += nan ? ": every tag reads NaN" : ": every tag reads 0";
  } else if (fields < count) {
    text += nan ? ": the remaining tags read NaN"
                : ": the last field is repeated for the remaining tags";
  } else {
    text += ": the fields beyond are ignored";
  }
  show_warning(w, WarningKind::kFieldCount, place.path, place.number, text);
}

void warn_non_numbers(Warnings& w, LinePlace place, std::string_view line, size_t start,
                      char separator, int first, int count, const double* values,
                      const ValueSyntax& syntax) {
  const char* const end = line.data() + line.size();
  visit_fields(line, start, separator, syntax, first, count, [&](int k, std::string_view field) {
    if (delimited_field_is_number(field.data(), field.data() + field.size(), end,
                                  decimal_point(syntax)) ||
        !count_warning(w, WarningKind::kNotANumber)) {
      return;
    }
    const bool comma =
        !syntax.decimal_comma && stops_at_decimal_comma(field.data(), field.data() + field.size());
    show_warning(
        w, WarningKind::kNotANumber, place.path, place.number,
        join({"field ", std::to_string(k + 1), " ", quote_line(field), " is not a number; read as ",
              value_text(values[k]), comma ? "; for decimal commas use --decimal-comma" : ""}));
  });
}

void warn_empty_fields(Warnings& w, LinePlace place, std::string_view line, size_t start,
                       char separator, int first, const TagTable& tags, const ValueSyntax& syntax) {
  if (!count_warning(w, WarningKind::kEmptyField)) return;
  // The first few tags by name, the rest by their number.
  constexpr int kNamed = 10;
  std::string named;
  int empty = 0;
  visit_fields(line, start, separator, syntax, first, tags.count,
               [&](int k, std::string_view field) {
                 if (!all_space(field.data(), field.data() + field.size())) return;
                 if (empty++ < kNamed)
                   named += join({empty > 1 ? ", " : "", numbered_name(k, tags)});
               });
  const std::string more = empty > kNamed ? " and " + std::to_string(empty - kNamed) + " more" : "";
  show_warning(w, WarningKind::kEmptyField, place.path, place.number,
               join({empty == 1 ? "empty field for tag " : "empty fields for tags ", named, more,
                     syntax.nan ? ": read as NaN" : ": read as 0",
                     separator == ' ' && !syntax.blanks
                         ? "; for values separated by runs of blanks use --blanks"
                         : ""}));
}

void warn_out_of_range(Warnings& w, LinePlace place, std::string_view line, size_t start,
                       bool delimited, char separator, int first, const double* values,
                       const TagTable& tags, const ValueSyntax& syntax) {
  const auto tell = [&](int k, std::string_view text) {
    std::string_view number;
    if (!number_beyond_range(text.data(), text.data() + text.size(), number,
                             decimal_point(syntax)) ||
        !count_warning(w, WarningKind::kOutOfRange)) {
      return;
    }
    show_warning(w, WarningKind::kOutOfRange, place.path, place.number,
                 join({quote_line(number), " of tag ", numbered_name(k, tags),
                       " is beyond binary64's range: read as ", value_text(values[k])}));
  };
  if (delimited) {
    visit_fields(line, start, separator, syntax, first, tags.count, tell);
    return;
  }
  // A fixed-width number may run on past its columns, to the line's end.
  for (int k = first; k < tags.count; ++k) {
    const size_t column = start + 11 * static_cast<size_t>(k);
    if (column >= line.size()) return;
    tell(k, line.substr(column));
  }
}

void warn_backwards(Warnings& w, LinePlace place, const LineTimestamp& stamp,
                    uint64_t previous_number, const LineTimestamp& previous, bool month_first) {
  if (!count_warning(w, WarningKind::kBackwards)) return;
  show_warning(w, WarningKind::kBackwards, place.path, place.number,
               "time goes back from " + stamp_text(previous, month_first) + " (line " +
                   std::to_string(previous_number) + ") to " + stamp_text(stamp, month_first) +
                   (month_first ? "; the lines may be unsorted, or their dates day-first"
                                : "; the lines may be unsorted, or their dates month-first"));
}

void warn_nul_break(Warnings& w, LinePlace place) {
  if (!count_warning(w, WarningKind::kLineEnd)) return;
  show_warning(w, WarningKind::kLineEnd, place.path, place.number,
               "NUL bytes end this line without a line end, as a power failure leaves a log: "
               "it may be incomplete");
}

void warn_unended_line(Warnings& w, LinePlace place, bool growing) {
  if (!count_warning(w, WarningKind::kLineEnd)) return;
  show_warning(w, WarningKind::kLineEnd, place.path, place.number,
               growing ? "the last line has no line end and the file grew while it was read: "
                         "the line is still being written and is left for the next run"
                       : "the last line has no line end: if the file was still being written, "
                         "it may be incomplete");
}
