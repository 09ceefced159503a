#include "convert/line_warnings.h"

#include <charconv>
#include <cstdio>
#include <string>

#include "convert/block_reader.h"

namespace {

std::string stamp_text(const LineTimestamp& s) {
  char text[64];
  std::snprintf(text, sizeof text, "%02u/%02u/%04u %02u:%02u:%02u.%03u", s.day, s.month, s.year,
                s.hour, s.minute, s.second, s.millisecond);
  return text;
}

std::string value_text(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace

void warn_malformed_line(Warnings& w, LinePlace place, std::string_view line,
                         MalformedReason reason) {
  if (!count_warning(w, WarningKind::kMalformedLine)) return;
  std::string why;
  switch (reason) {
    case MalformedReason::kTimestamp:
      why = timestamp_fault(line.data(), line.size());
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

void warn_misaligned_value(Warnings& w, LinePlace place, std::string_view line, size_t column,
                           int tag, const TagTable& tags) {
  if (!count_warning(w, WarningKind::kMisaligned)) return;
  const std::string_view field = line.substr(column, 10);
  show_warning(w, WarningKind::kMisaligned, place.path, place.number,
               "columns " + std::to_string(column + 1) + "-" + std::to_string(column + 10) +
                   " of tag " + std::to_string(tag + 1) + " (" + std::string(tag_name(tags, tag)) +
                   ") hold " + quote_line(field) +
                   ": values do not line up with the fixed-width columns; for a delimited file "
                   "use /e");
}

void warn_field_count(Warnings& w, LinePlace place, int fields, int count) {
  if (!count_warning(w, WarningKind::kFieldCount)) return;
  std::string text = std::to_string(fields) + (fields == 1 ? " field" : " fields") + " for " +
                     std::to_string(count) + (count == 1 ? " tag" : " tags");
  if (fields == 0) {
    text += ": every tag reads 0";
  } else if (fields < count) {
    text += ": the last field is repeated for the remaining tags";
  } else {
    text += ": the fields beyond are ignored";
  }
  show_warning(w, WarningKind::kFieldCount, place.path, place.number, text);
}

void warn_not_a_number(Warnings& w, LinePlace place, std::string_view line, size_t start,
                       char separator, int field, double value) {
  if (!count_warning(w, WarningKind::kNotANumber)) return;
  std::string_view rest = start < line.size() ? line.substr(start) : std::string_view();
  for (int k = 0; k < field; ++k) rest.remove_prefix(rest.find(separator) + 1);
  const std::string_view text = rest.substr(0, rest.find(separator));
  show_warning(w, WarningKind::kNotANumber, place.path, place.number,
               "field " + std::to_string(field + 1) + " " + quote_line(text) +
                   " is not a number; read as " + value_text(value));
}

void warn_backwards(Warnings& w, LinePlace place, const LineTimestamp& stamp,
                    uint64_t previous_number, const LineTimestamp& previous) {
  if (!count_warning(w, WarningKind::kBackwards)) return;
  show_warning(w, WarningKind::kBackwards, place.path, place.number,
               "time goes back from " + stamp_text(previous) + " (line " +
                   std::to_string(previous_number) + ") to " + stamp_text(stamp) +
                   "; the lines may be unsorted, or their dates month-first");
}
