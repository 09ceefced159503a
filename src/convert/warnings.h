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
  kBlankField,
  kShortLine,
  kOptions,
  kNoRecords,
  kLineEnd,     // a line cut short by NUL bytes, or a last line without a line end
  kEmptyField,  // an empty delimited field
  kOutOfRange,  // a number beyond binary64's range
  kClock,       // a 24-hour time with an AM or PM marker
};
constexpr size_t kWarningKinds = 15;

// How often a kind is shown per data file: 10, or once for the kinds that
// tell of the whole file (misaligned columns, time going backwards).
constexpr uint64_t shown_limit(WarningKind kind) {
  return kind == WarningKind::kMisaligned || kind == WarningKind::kBackwards ? 1 : 10;
}

struct Warning {
  WarningKind kind;
  std::string path;  // as named on the command line; empty for the whole run
  uint64_t line;     // 0: about the whole file
  std::string text;
};

struct Warnings {
  std::vector<Warning> shown;           // in the order they arose
  uint64_t counts[kWarningKinds] = {};  // every warning, shown or not
  std::string failure;                  // why the run failed, a whole line; told last
  // Warnings about the whole run (its options, the time zone) were drawn: told with the first
  // file's, they concern every file.
  bool run_warned = false;
};

// Whether `warnings` hold any warning, the run's included.
bool any_warning(const Warnings& warnings);

// Keeps why the run failed, for the line after its failure message:
// "tagpress: PATH[:LINE]: reason" (no LINE when `line` is 0).
void note_failure(Warnings& warnings, std::string_view path, uint64_t line,
                  std::string_view reason);

// Counts a warning of `kind`. True while it is among the first of its kind
// that are shown: then its text goes to show_warning.
inline bool count_warning(Warnings& warnings, WarningKind kind) {
  return warnings.counts[static_cast<size_t>(kind)]++ < shown_limit(kind);
}

// Keeps the text of a counted warning about line `line` (0: the whole file)
// of `path`.
void show_warning(Warnings& warnings, WarningKind kind, std::string_view path, uint64_t line,
                  std::string_view text);

// Adds the warnings of a later part of the same file, whose line numbers
// start after `line_offset` lines, as if they had been counted into
// `warnings` one by one.
void append_warnings(Warnings& warnings, const Warnings& later, uint64_t line_offset);

// The pieces one after the other.
std::string join(std::initializer_list<std::string_view> pieces);

// Up to `limit` characters of a line for a warning, quoted, with control and
// non-ASCII bytes escaped, and "..." when it goes on.
std::string quote_line(std::string_view line, size_t limit = 60);

// Flushes standard output, then writes "tagpress: PATH: reason" to standard
// error: why a failure just told on standard output happened.
void print_failure(std::string_view path, std::string_view reason);

// Flushes standard output, then writes the shown warnings, for each kind
// that had more one line saying how many more, and the failure, if any, to
// standard error. `path` names the data file in those count lines.
void print_warnings(const Warnings& warnings, std::string_view path);
