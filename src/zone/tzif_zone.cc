#include "zone/tzif_zone.h"

#include <algorithm>

namespace {

constexpr size_t kHeaderSize = 44;
// UTC offsets beyond a week are garbage; the bound keeps all offset arithmetic small.
constexpr int32_t kMaxOffset = 7 * 86400;

uint32_t read_be32(const char* p) {
  const auto byte = [p](int i) { return static_cast<uint32_t>(static_cast<unsigned char>(p[i])); };
  return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

int64_t read_be64(const char* p) {
  return static_cast<int64_t>(uint64_t{read_be32(p)} << 32 | read_be32(p + 4));
}

// The counts of a TZif header.
struct TzifHeader {
  char version;
  uint32_t isutcnt, isstdcnt, leapcnt, timecnt, typecnt, charcnt;

  // Bytes of the data block that follows, with transition times of `time_size` bytes.
  uint64_t block_size(int time_size) const {
    return uint64_t{timecnt} * (time_size + 1) + uint64_t{typecnt} * 6 + charcnt +
           uint64_t{leapcnt} * (time_size + 4) + isstdcnt + isutcnt;
  }
};

// Reads a header from the front of `rest` and drops it from there.
std::optional<TzifHeader> read_header(std::string_view& rest) {
  if (rest.size() < kHeaderSize || rest.substr(0, 4) != "TZif") return std::nullopt;
  const char* p = rest.data();
  const TzifHeader header{p[4],
                          read_be32(p + 20),
                          read_be32(p + 24),
                          read_be32(p + 28),
                          read_be32(p + 32),
                          read_be32(p + 36),
                          read_be32(p + 40)};
  rest.remove_prefix(kHeaderSize);
  // Counts the format ties together; a mismatch means the header is garbage.
  const bool consistent = header.typecnt != 0 &&
                          (header.isutcnt == 0 || header.isutcnt == header.typecnt) &&
                          (header.isstdcnt == 0 || header.isstdcnt == header.typecnt);
  const bool known_version = header.version == '\0' || header.version >= '2';
  if (!consistent || !known_version) return std::nullopt;
  return header;
}

// Reads the transitions and local time types of one data block into `rules` and drops the
// block from the front of `rest`. Returns the block's last transition, whether or not it
// changed the offset (INT64_MIN when there is none).
std::optional<int64_t> read_block(std::string_view& rest, const TzifHeader& header, int time_size,
                                  ZoneRules& rules) {
  const uint64_t size = header.block_size(time_size);
  if (size > rest.size()) return std::nullopt;
  const char* times = rest.data();
  const char* indices = times + size_t{header.timecnt} * time_size;
  const char* types = indices + header.timecnt;

  std::vector<int32_t> type_offsets(header.typecnt);
  for (uint32_t i = 0; i < header.typecnt; ++i) {
    const char* type = types + size_t{i} * 6;
    const int32_t offset = static_cast<int32_t>(read_be32(type));
    const bool valid_flags = static_cast<unsigned char>(type[4]) <= 1 &&
                             static_cast<unsigned char>(type[5]) < header.charcnt;
    if (offset < -kMaxOffset || offset > kMaxOffset || !valid_flags) return std::nullopt;
    type_offsets[i] = offset;
  }

  int64_t last = INT64_MIN;
  rules.initial_offset = type_offsets[0];
  int32_t current = rules.initial_offset;
  for (uint32_t i = 0; i < header.timecnt; ++i) {
    const char* time = times + size_t{i} * time_size;
    const int64_t at = time_size == 8 ? read_be64(time) : static_cast<int32_t>(read_be32(time));
    const auto type = static_cast<unsigned char>(indices[i]);
    if ((i > 0 && at <= last) || type >= header.typecnt) return std::nullopt;
    last = at;
    if (type_offsets[type] == current) continue;
    current = type_offsets[type];
    rules.transitions.push_back(at);
    rules.offsets.push_back(current);
  }
  rest.remove_prefix(size);
  return last;
}

// The TZ string between the two newlines that end a version 2+ file (may be empty).
std::optional<std::string_view> read_footer(std::string_view rest) {
  if (rest.size() < 2 || rest.front() != '\n') return std::nullopt;
  const size_t close = rest.find('\n', 1);
  if (close == std::string_view::npos) return std::nullopt;
  return rest.substr(1, close - 1);
}

// The span of the transition table around t; `limit` ends the table's last span.
OffsetSpan table_span(const ZoneRules& rules, int64_t limit, int64_t t) {
  const auto& points = rules.transitions;
  const size_t next = std::upper_bound(points.begin(), points.end(), t) - points.begin();
  const int64_t end = next < points.size() ? points[next] : limit;
  if (next == 0) return {INT64_MIN, end, rules.initial_offset};
  return {points[next - 1], end, rules.offsets[next - 1]};
}

}  // namespace

std::optional<ZoneRules> rules_from_tzif(std::string_view bytes) {
  std::string_view rest = bytes;
  std::optional<TzifHeader> header = read_header(rest);
  if (!header) return std::nullopt;
  ZoneRules rules;
  if (header->version == '\0') {
    if (!read_block(rest, *header, 4, rules)) return std::nullopt;
    return rules;
  }
  // Version 2 and later repeat the data with 64-bit times after the 32-bit block.
  const uint64_t v1_size = header->block_size(4);
  if (v1_size > rest.size()) return std::nullopt;
  rest.remove_prefix(v1_size);
  header = read_header(rest);
  if (!header || header->version == '\0') return std::nullopt;
  const std::optional<int64_t> last_transition = read_block(rest, *header, 8, rules);
  if (!last_transition) return std::nullopt;
  const std::optional<std::string_view> footer = read_footer(rest);
  if (!footer) return std::nullopt;
  rules.rule = parse_posix_rule(*footer);
  if (rules.rule) rules.rule_begin = *last_transition;
  return rules;
}

std::optional<ZoneRules> rules_from_posix_tz(std::string_view text) {
  std::optional<PosixRule> rule = parse_posix_rule(text);
  if (!rule) return std::nullopt;
  ZoneRules rules;
  rules.initial_offset = rule->std_offset;
  rules.rule = rule;
  return rules;
}

OffsetSpan zone_span_at(const ZoneRules& rules, int64_t utc_seconds) {
  if (!rules.rule) return table_span(rules, INT64_MAX, utc_seconds);
  if (utc_seconds < rules.rule_begin) return table_span(rules, rules.rule_begin, utc_seconds);
  // Before 1970 the rule reads as the GNU C library reads it, so that times convert alike.
  OffsetSpan span = utc_seconds < 0 ? rule_span_before_1970(*rules.rule, utc_seconds)
                                    : rule_span_at(*rules.rule, utc_seconds);
  span.begin = std::max({span.begin, rules.rule_begin, utc_seconds < 0 ? INT64_MIN : int64_t{0}});
  return span;
}
