#include "convert/value_layout.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "common/byte_search.h"
#include "common/text_scan.h"
#include "convert/number_reader.h"
#include "convert/plain_field.h"

namespace {

constexpr size_t kFieldStride = 11;
constexpr size_t kFieldWidth = 10;

// The bytes that may carry a number on after its digits, with the decimal
// point `kDot`: where one follows a field, the number is more than its field
// and the fast path leaves it alone.
template <char kDot>
constexpr std::array<bool, 256> kContinuesNumber = [] {
  std::array<bool, 256> table{};
  for (const char c : std::string_view("0123456789eEdD"))
    table[static_cast<unsigned char>(c)] = true;
  table[static_cast<unsigned char>(kDot)] = true;
  return table;
}();

// A fixed-width field that is not a plain decimal filling its columns, or
// lies (partly) beyond the line's end: read by the general reader, and
// noted in `findings` when it is unusual. With `kNan` a field that holds no
// number of its own reads kMissingValue.
template <char kDot, bool kNan>
[[gnu::noinline]] double read_fixed_field(const char* line, size_t size, size_t column, int k,
                                          LayoutFindings& findings) {
  if (column >= size) {
    if (findings.unusual < 0) findings.unusual = k;
    return kNan ? kMissingValue : 0.0;
  }
  const char* const end = line + size;
  const char* const field = line + column;
  const char* stop;
  bool beyond_range = false;
  const double value = read_number<kDot>(field, end, end, stop, &beyond_range);
  // Right-aligned numbers end where their field does.
  if (stop != field + kFieldWidth && findings.unusual < 0) findings.unusual = k;
  if (beyond_range && findings.out_of_range < 0) findings.out_of_range = k;
  if constexpr (kNan) {
    if (stop == field || all_space(field, std::min(end, field + kFieldWidth))) return kMissingValue;
  }
  return value;
}

bool all_blanks(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (*p != ' ') return false;
  }
  return true;
}

// The fast path of a delimited field [field, field_end) of `line`: false
// when it is not a plain decimal of at most 16 bytes.
template <char kDot>
[[gnu::always_inline]] inline bool read_plain_delimited(const char* line, const char* field,
                                                        const char* field_end,
                                                        plain_field::Shape& shape, double& value) {
  const ptrdiff_t length = field_end - field;
  if (field_end - line < plain_field::kBytesBefore || length > plain_field::kMaxLength) {
    return false;
  }
  return (shape.length == length && plain_field::read_same_shape(shape, field_end, value)) ||
         plain_field::read<kDot>(field_end, static_cast<int>(length), value, &shape);
}

// A delimited field that is not a plain decimal: the general reader, and
// noted in `findings` when it holds more than one number, none at all or one
// beyond binary64's range. Empty fields come here too: the fast path takes
// none. With `kNan` a field that does not begin a number reads kMissingValue.
template <char kDot, bool kNan>
[[gnu::noinline]] double read_delimited_field(const char* field, const char* field_end,
                                              const char* end, int k, LayoutFindings& findings) {
  const char* stop;
  bool beyond_range = false;
  const double value = read_number<kDot>(field, field_end, end, stop, &beyond_range);
  if (stop != field_end && findings.not_a_number < 0 && !all_space(stop, field_end)) {
    findings.not_a_number = k;
  }
  if (stop == field && findings.empty < 0 && all_space(field, field_end)) findings.empty = k;
  if (beyond_range && findings.out_of_range < 0) findings.out_of_range = k;
  if (kNan && stop == field) return kMissingValue;
  return value;
}

// The first byte from `p` on that is a blank or a tab (kBlank) or is not one
// (!kBlank), or `end` when there is none. Loads of 16 bytes may reach up to
// `limit`; bytes from `end` on never change the result.
template <bool kBlank>
[[gnu::always_inline]] inline const char* find_blanks(const char* p, const char* end,
                                                      const char* limit) {
#if defined(__SSE2__)
  while (p < end && limit - p >= 16) {
    const __m128i bytes = plain_field::load(p);
    const unsigned blank = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
        _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')))));
    const unsigned found = kBlank ? blank : ~blank & 0xFFFF;
    if (found != 0) return std::min(p + __builtin_ctz(found), end);
    p += 16;
  }
#endif
  while (p < end && is_blank_or_tab(*p) != kBlank) ++p;
  return std::min(p, end);
}

template <char kDot, bool kNan>
void fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                  LayoutFindings& findings, FieldShapes& shapes) {
  // The fast path loads 16 bytes before a field's end; in a line of the usual
  // shape they all lie within the line.
  const bool room_before = start + kFieldWidth >= plain_field::kBytesBefore;
  size_t column = start;
  for (int k = 0; k < count; ++k, column += kFieldStride) {
    // The usual field: a plain decimal that fills it, then the line's end or
    // a byte that no number goes on with.
    const size_t field_end = column + kFieldWidth;
    const bool ends_number =
        field_end < size ? !kContinuesNumber<kDot>[static_cast<unsigned char>(line[field_end])]
                         : field_end == size;
    if (room_before && ends_number) {
      // Mostly a tag's field has the shape it had on the line before.
      plain_field::Shape& shape = shapes.tag[k];
      if (plain_field::read_same_shape(shape, line + field_end, values[k]) ||
          plain_field::read<kDot>(line + field_end, kFieldWidth, values[k], &shape)) {
        continue;
      }
    }
    values[k] = read_fixed_field<kDot, kNan>(line, size, column, k, findings);
  }
}

template <char kDot, bool kNan>
[[gnu::always_inline]] inline void separated_values(const char* line, size_t size,
                                                    const char* limit, size_t start, int count,
                                                    char separator, double* values,
                                                    LayoutFindings& findings, FieldShapes& shapes) {
  if (count <= 0) return;
  const char* const end = line + size;
  const char* field = line + (start < size ? start : size);
  const auto read_field = [&](int k, const char* field_end) __attribute__((always_inline)) {
    double value;
    if (!read_plain_delimited<kDot>(line, field, field_end, shapes.tag[k], value)) {
      value = read_delimited_field<kDot, kNan>(field, field_end, end, k, findings);
    }
    return value;
  };
  int k = 0;
  if (byte_search::kAvailable && limit - end >= byte_search::kWindow) {
    // The separators of 64 bytes at a time as bits, found before they are
    // needed: where a field ends does not wait on the field before it.
    const char* window = field;
    uint64_t separators = byte_search::equal_64(window, end - window, separator);
    for (; k < count; ++k) {
      while (separators == 0 && end - window > byte_search::kWindow) {
        window += byte_search::kWindow;
        separators = byte_search::equal_64(window, end - window, separator);
      }
      if (separators == 0) break;
      const char* const stop = window + __builtin_ctzll(separators);
      separators &= separators - 1;
      values[k] = read_field(k, stop);
      field = stop + 1;
    }
  } else {
    for (; k < count; ++k) {
      const char* const stop =
          static_cast<const char*>(std::memchr(field, separator, static_cast<size_t>(end - field)));
      if (stop == nullptr) break;
      values[k] = read_field(k, stop);
      field = stop + 1;
    }
  }
  if (k == count) {
    // Text after the last tag's field is ignored; more than blanks is worth a word.
    if (!all_space(field, end)) {
      int fields = count + 1;
      for (const char* p = field; (p = static_cast<const char*>(std::memchr(
                                       p, separator, static_cast<size_t>(end - p)))) != nullptr;
           ++p) {
        ++fields;
      }
      findings.fields = fields;
    }
    return;
  }
  // No separator after this field: it is the line's last, and every later tag repeats it.
  const int fields = k == 0 && field == end ? 0 : k + 1;
  if (fields < count) findings.fields = fields;
  // A line without fields has no empty field to tell of: its field count says it all.
  const double last = fields == 0 ? (kNan ? kMissingValue : 0.0) : read_field(k, end);
  values[k++] = last;
  for (; k < count; ++k) values[k] = kNan ? kMissingValue : last;
}

// separated_values with fields split at runs of blanks and tabs: a field
// reads with the blanks before it, so that it ends where a blank follows text.
template <char kDot, bool kNan>
void blank_separated_values(const char* line, size_t size, const char* limit, size_t start,
                            int count, double* values, LayoutFindings& findings,
                            FieldShapes& shapes) {
  if (count <= 0) return;
  const char* const end = line + size;
  const char* field = line + (start < size ? start : size);
  const auto read_field = [&](int k, const char* field_end) __attribute__((always_inline)) {
    if (!read_plain_delimited<kDot>(line, field, field_end, shapes.tag[k], values[k])) {
      values[k] = read_delimited_field<kDot, kNan>(field, field_end, end, k, findings);
    }
    field = field_end;
  };
  int k = 0;
  if (byte_search::kAvailable && limit - end >= byte_search::kWindow) {
    // The fields' ends of 64 bytes at a time as bits: the blanks that follow
    // text. The byte before the values counts as a blank.
    uint64_t blank_before = 1;
    const auto field_ends = [&](const char* window) {
      const ptrdiff_t available = end - window;
      const uint64_t blanks = byte_search::equal_64(window, available, ' ') |
                              byte_search::equal_64(window, available, '\t');
      const uint64_t ends = blanks & ~((blanks << 1) | blank_before);
      blank_before = blanks >> 63;
      return ends;
    };
    const char* window = field;
    uint64_t ends = field_ends(window);
    for (; k < count; ++k) {
      while (ends == 0 && end - window > byte_search::kWindow) {
        window += byte_search::kWindow;
        ends = field_ends(window);
      }
      if (ends == 0) break;
      const char* const stop = window + __builtin_ctzll(ends);
      ends &= ends - 1;
      read_field(k, stop);
    }
  } else {
    for (; k < count; ++k) {
      const char* const text = find_blanks<false>(field, end, limit);
      if (text == end) break;
      read_field(k, find_blanks<true>(text, end, limit));
    }
  }
  // Text after the last blank that follows text is the line's last field.
  if (k < count && blank_field_end(field, end) != nullptr) read_field(k++, end);
  if (k == count) {
    int fields = count;
    while ((field = blank_field_end(field, end)) != nullptr) ++fields;
    if (fields > count) findings.fields = fields;
    return;
  }
  findings.fields = k;
  const double last = kNan || k == 0 ? (kNan ? kMissingValue : 0.0) : values[k - 1];
  for (; k < count; ++k) values[k] = last;
}

// read_number with the decimal point `dot`.
double read_number_with(char dot, const char* p, const char* end, const char* limit,
                        const char*& stop, bool* beyond_range = nullptr) {
  return dot == ',' ? read_number<','>(p, end, limit, stop, beyond_range)
                    : read_number(p, end, limit, stop, beyond_range);
}

}  // namespace

FieldFault fixed_field_fault(const char* line, size_t size, size_t column, char dot) {
  if (column >= size) return FieldFault::kBeyondLine;
  const char* const end = line + size;
  const char* const field = line + column;
  const char* const field_end = std::min(end, field + kFieldWidth);
  const char* stop;
  read_number_with(dot, field, end, end, stop);
  if (stop == field)
    return all_space(field, field_end) ? FieldFault::kBlank : FieldFault::kNotANumber;
  if (stop < field_end)
    return all_blanks(stop, field_end) ? FieldFault::kNone : FieldFault::kMisaligned;
  // A number that ends past the field: a wide value, or the next field's behind blanks.
  return stop > field + kFieldWidth && all_space(field, field_end) ? FieldFault::kBlank
                                                                   : FieldFault::kNone;
}

bool delimited_field_is_number(const char* field, const char* field_end, const char* limit,
                               char dot) {
  const char* stop;
  read_number_with(dot, field, field_end, limit, stop);
  return stop == field_end || all_space(stop, field_end);
}

bool number_beyond_range(const char* p, const char* end, std::string_view& number, char dot) {
  const char* stop;
  bool beyond_range = false;
  read_general_number(p, end, stop, &beyond_range, dot);
  while (p < stop && is_space(*p)) ++p;
  number = std::string_view(p, static_cast<size_t>(stop - p));
  return beyond_range;
}

bool stops_at_decimal_comma(const char* p, const char* end) {
  const char* stop;
  read_number(p, end, end, stop);
  return stop != p && stop + 1 < end && *stop == ',' && is_digit(stop[-1]) && is_digit(stop[1]);
}

void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                          LayoutFindings& findings, FieldShapes& shapes) {
  fixed_values<'.', false>(line, size, start, count, values, findings, shapes);
}

void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                          LayoutFindings& findings, FieldShapes& shapes,
                          const ValueSyntax& syntax) {
  if (!syntax.decimal_comma && !syntax.nan) {
    extract_fixed_values(line, size, start, count, values, findings, shapes);
  } else if (!syntax.decimal_comma) {
    fixed_values<'.', true>(line, size, start, count, values, findings, shapes);
  } else if (!syntax.nan) {
    fixed_values<',', false>(line, size, start, count, values, findings, shapes);
  } else {
    fixed_values<',', true>(line, size, start, count, values, findings, shapes);
  }
}

void extract_fixed_values(const char* line, size_t size, size_t start, int count, double* values,
                          const ValueSyntax& syntax) {
  LayoutFindings ignored;
  FieldShapes shapes;
  extract_fixed_values(line, size, start, count, values, ignored, shapes, syntax);
}

void extract_line_values(const char* line, size_t size, const char* limit, size_t start, int count,
                         char separator, double* values, LayoutFindings& findings,
                         FieldShapes& shapes) {
  separated_values<'.', false>(line, size, limit, start, count, separator, values, findings,
                               shapes);
}

void extract_line_values(const char* line, size_t size, const char* limit, size_t start, int count,
                         char separator, double* values, LayoutFindings& findings,
                         FieldShapes& shapes, const ValueSyntax& syntax) {
  const auto split = [&]<char kDot, bool kNan>() {
    if (syntax.blanks) {
      blank_separated_values<kDot, kNan>(line, size, limit, start, count, values, findings, shapes);
    } else {
      separated_values<kDot, kNan>(line, size, limit, start, count, separator, values, findings,
                                   shapes);
    }
  };
  if (!syntax.decimal_comma && !syntax.nan && !syntax.blanks) {
    extract_line_values(line, size, limit, start, count, separator, values, findings, shapes);
  } else if (!syntax.decimal_comma) {
    syntax.nan ? split.template operator()<'.', true>() : split.template operator()<'.', false>();
  } else {
    syntax.nan ? split.template operator()<',', true>() : split.template operator()<',', false>();
  }
}

void extract_line_values(const char* line, size_t size, size_t start, int count, char separator,
                         double* values, const ValueSyntax& syntax) {
  LayoutFindings ignored;
  FieldShapes shapes;
  extract_line_values(line, size, line + size, start, count, separator, values, ignored, shapes,
                      syntax);
}
