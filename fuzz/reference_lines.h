// The lines of a text file, split independently of the block reader so that the
// fuzz checks can compare the converter against them: LF ends a line, CR LF
// reads as LF, a CR elsewhere (also at the very end) is an ordinary character,
// 0x1A ends the file, a UTF-8 byte-order mark at the start is no text, and a
// line longer than kMaxLineLength is too long.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "convert/block_reader.h"

namespace fuzz_check {

struct ReferenceLine {
  std::string_view text;  // cut to kMaxLineLength when too long, as the reader hands it out
  bool too_long = false;
};

inline std::vector<ReferenceLine> reference_lines(std::string_view bytes) {
  constexpr size_t max_length = kMaxLineLength;
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::vector<ReferenceLine> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t newline = bytes.find('\n', pos);
    std::string_view text;
    if (newline == std::string_view::npos) {
      text = bytes.substr(pos);
      pos = bytes.size();
    } else {
      text = bytes.substr(pos, newline - pos);
      if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
      pos = newline + 1;
    }
    const bool too_long = text.size() > max_length;
    lines.push_back({too_long ? text.substr(0, max_length) : text, too_long});
  }
  return lines;
}

}  // namespace fuzz_check
