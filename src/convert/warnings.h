// Warnings about the input of one data file: what was skipped and what looks
// wrong. They go to standard error, never to standard output, in the form
// compilers use ("tagpress: PATH:LINE: text"), after the file's own output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

enum class WarningKind : uint8_t {
  kMalformedLine,
  kTagHeader,
  kTimeZone,
  kMisaligned,
  kFieldCount,
  kNotANumber,
  kBackwards,
};
constexpr size_t kWarningKinds = 7;

// Each kind is shown at most this often per data file.
constexpr uint64_t kShownPerKind = 10;

struct Warnings {
  std::vector<std::string> shown;       // whole lines, in order
  uint64_t counts[kWarningKinds] = {};  // every warning, shown or not
};

// Counts a warning of `kind`. True when it is among the first kShownPerKind
// of its kind: then its text goes to show_warning.
inline bool count_warning(Warnings& warnings, WarningKind kind) {
  return warnings.counts[static_cast<size_t>(kind)]++ < kShownPerKind;
}

// Keeps the text of a counted warning about line `line` (0: the whole file)
// of `path`.
void show_warning(Warnings& warnings, std::string_view path, uint64_t line, std::string_view text);

// The pieces one after the other.
std::string join(std::initializer_list<std::string_view> pieces);

// Up to `limit` characters of a line for a warning, quoted, with control and
// non-ASCII bytes escaped, and "..." when it goes on.
std::string quote_line(std::string_view line, size_t limit = 60);

// Flushes standard output, then writes the shown warnings and, for each kind
// that had more, one line saying how many more, to standard error. `path`
// names the data file in those count lines.
void print_warnings(const Warnings& warnings, std::string_view path);
