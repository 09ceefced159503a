#include "convert/warnings.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <tuple>

#include "common/console.h"
#include "platform/platform.h"

namespace {

// What the count line calls more warnings of each kind.
constexpr const char* kKindNouns[kWarningKinds] = {
    "malformed lines",
    "tag header warnings",
    "time zone warnings",
    "misaligned values",
    "lines whose field count is not the tag count",
    "fields that are not numbers",
    "backward steps in time",
    "blank fixed-width fields",
    "lines that end before their last tag",
    "option warnings",
    "files without records",
    "line end warnings",
    "empty fields",
    "numbers beyond binary64's range",
    "24-hour times with AM or PM",
};

}  // namespace

namespace {

// "tagpress: PATH:LINE: text" and a line feed; without ":LINE" for line 0, without "PATH: " for
// no path.
std::string message_line(std::string_view path, uint64_t line, std::string_view text) {
  const std::string where = line > 0 ? join({":", std::to_string(line)}) : std::string();
  const std::string_view separator = path.empty() ? "" : ": ";
  return join({"tagpress: ", path, where, separator, text, "\n"});
}

}  // namespace

void note_failure(Warnings& w, std::string_view path, uint64_t line, std::string_view reason) {
  w.failure = message_line(path, line, reason);
}

void print_failure(std::string_view path, std::string_view reason) {
  const std::string text = message_line(path, 0, reason);
  console_flush();
  write_all(standard_error(), text.data(), text.size());
}

std::string join(std::initializer_list<std::string_view> pieces) {
  std::string out;
  for (const std::string_view piece : pieces) out += piece;
  return out;
}

bool any_warning(const Warnings& w) {
  return w.run_warned ||
         std::any_of(std::begin(w.counts), std::end(w.counts), [](uint64_t n) { return n > 0; });
}

void show_warning(Warnings& w, WarningKind kind, std::string_view path, uint64_t line,
                  std::string_view text) {
  w.shown.push_back(Warning{kind, std::string(path), line, std::string(text)});
}

void append_warnings(Warnings& w, const Warnings& later, uint64_t line_offset) {
  uint64_t seen[kWarningKinds];
  std::copy(std::begin(w.counts), std::end(w.counts), seen);
  for (const Warning& warning : later.shown) {
    if (seen[static_cast<size_t>(warning.kind)]++ >= shown_limit(warning.kind)) continue;
    w.shown.push_back(warning);
    if (warning.line > 0) w.shown.back().line += line_offset;
  }
  for (size_t kind = 0; kind < kWarningKinds; ++kind) w.counts[kind] += later.counts[kind];
}

std::string quote_line(std::string_view line, size_t limit) {
  std::string out = "'";
  for (size_t i = 0; i < line.size() && i < limit; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\\' || c == '\'') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += line.size() > limit ? "'..." : "'";
  return out;
}

void print_warnings(const Warnings& given, std::string_view path) {
  // Warnings about the data file's lines in line order (the parts of a file
  // are joined after they are converted); for one line, the time before its
  // values. Those about whole files keep their place before them.
  Warnings w = given;
  const auto key = [&](const Warning& warning) {
    const bool about_line = warning.line > 0 && warning.path == path;
    const int rank =
        warning.kind == WarningKind::kBackwards ? 0 : static_cast<int>(warning.kind) + 1;
    return std::make_tuple(about_line, about_line ? warning.line : 0, about_line ? rank : 0);
  };
  std::stable_sort(w.shown.begin(), w.shown.end(),
                   [&](const Warning& a, const Warning& b) { return key(a) < key(b); });
  // On a shared terminal the warnings start below the counter, not on its line.
  const bool below_counter =
      console_is_terminal() && console_line_open() && is_terminal(standard_error());
  std::string text = below_counter ? "\n" : "";
  for (const Warning& warning : w.shown)
    text += message_line(warning.path, warning.line, warning.text);
  for (size_t kind = 0; kind < kWarningKinds; ++kind) {
    const uint64_t limit = shown_limit(static_cast<WarningKind>(kind));
    if (limit == 1 || w.counts[kind] <= limit) continue;
    text += join({"tagpress: ", path, ": ", std::to_string(w.counts[kind] - limit), " more ",
                  kKindNouns[kind], " not shown\n"});
  }
  text += w.failure;
  if (w.shown.empty() && w.failure.empty()) return;
  console_flush();
  write_all(standard_error(), text.data(), text.size());
}
