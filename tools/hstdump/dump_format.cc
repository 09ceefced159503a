#include "dump_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Ticks of 10000-01-01 00:00 UTC: later instants have no four-digit year.
constexpr uint64_t kFirstTicksPastYear9999 =
    static_cast<uint64_t>(days_from_civil(10000, 1, 1) * 86400 + kSecondsFrom1601To1970) *
    kTicksPerSecond;

// Writes `value` (>= 0) with exactly `width` digits, zero-padded.
char* put_digits(char* out, int64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}

char* put_text(char* out, const char* text) {
  const size_t n = std::strlen(text);
  std::memcpy(out, text, n);
  return out + n;
}

char* put_raw_ticks(char* out, Ticks ticks) {
  out = put_text(out, "ticks:");
  return std::to_chars(out, out + 20, ticks).ptr;
}

// "+HH:MM", or "+HH:MM:SS" when the offset is not a whole minute.
char* put_offset(char* out, int32_t offset) {
  *out++ = offset < 0 ? '-' : '+';
  const int64_t magnitude = offset < 0 ? -static_cast<int64_t>(offset) : offset;
  out = put_digits(out, magnitude / 3600, 2);
  *out++ = ':';
  out = put_digits(out, magnitude / 60 % 60, 2);
  if (magnitude % 60 != 0) {
    *out++ = ':';
    out = put_digits(out, magnitude % 60, 2);
  }
  return out;
}

}  // namespace

char* format_time(Ticks ticks, TimeZone* zone, char* out) {
  // Checked before any zone look-up so that garbage never reaches the zone rules.
  if (ticks >= kFirstTicksPastYear9999) return put_raw_ticks(out, ticks);
  const int64_t utc = static_cast<int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
  const int64_t millisecond = static_cast<int64_t>(ticks % kTicksPerSecond) / kTicksPerMillisecond;
  const int32_t offset = zone == nullptr ? 0 : utc_offset_at(*zone, utc);
  const CivilTime t = civil_from_seconds(utc + offset);
  if (t.year < 0 || t.year > 9999) return put_raw_ticks(out, ticks);

  out = put_digits(out, t.year, 4);
  *out++ = '-';
  out = put_digits(out, t.month, 2);
  *out++ = '-';
  out = put_digits(out, t.day, 2);
  *out++ = 'T';
  out = put_digits(out, t.hour, 2);
  *out++ = ':';
  out = put_digits(out, t.minute, 2);
  *out++ = ':';
  out = put_digits(out, t.second, 2);
  *out++ = '.';
  out = put_digits(out, millisecond, 3);
  if (zone == nullptr) {
    *out++ = 'Z';
    return out;
  }
  return put_offset(out, offset);
}

char* format_value(double value, char* out) {
  // to_chars writes "-nan" for a NaN with its sign bit set; every NaN prints alike.
  if (std::isnan(value)) return put_text(out, "nan");
  return std::to_chars(out, out + kMaxValueText, value).ptr;
}

void append_csv_field(std::string_view text, std::string& out) {
  bool needs_quotes = false;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ',' || c == '"' || byte < 0x20 || byte == 0x7F) needs_quotes = true;
  }
  if (!needs_quotes) {
    out.append(text);
    return;
  }
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}
