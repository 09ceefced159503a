#include "convert/progress_counter.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>

#include "common/console.h"

namespace {

constexpr char kPrefix[] = "\r   Line = ";
constexpr size_t kPrefixLength = sizeof(kPrefix) - 1;
constexpr char kSuffix[] = "   ";
constexpr size_t kSuffixLength = sizeof(kSuffix) - 1;
constexpr int64_t kRefreshNs = 50'000'000;
constexpr uint32_t kLinesPerClockRead = 256;

int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Adds one to the decimal number in the text, growing it by a digit on carry out.
void increment(ProgressCounter& c) {
  const size_t digits_end = c.length - kSuffixLength;
  size_t i = digits_end;
  while (i > kPrefixLength && c.text[i - 1] == '9') c.text[--i] = '0';
  if (i > kPrefixLength) {
    ++c.text[i - 1];
    return;
  }
  std::memmove(c.text + kPrefixLength + 1, c.text + kPrefixLength, c.length - kPrefixLength);
  c.text[kPrefixLength] = '1';
  ++c.length;
}

void show(ProgressCounter& c) {
  console_write(std::string_view(c.text, c.length));
  console_flush();
  c.shown_at_ns = now_ns();
  c.shown_current = true;
}

}  // namespace

void progress_start(ProgressCounter& c, bool terminal, bool quiet) {
  c = ProgressCounter{};
  std::memcpy(c.text, kPrefix, kPrefixLength);
  c.text[kPrefixLength] = '0';
  std::memcpy(c.text + kPrefixLength + 1, kSuffix, kSuffixLength);
  c.length = kPrefixLength + 1 + kSuffixLength;
  c.terminal = terminal;
  c.quiet = quiet;
  c.shown_current = true;  // nothing to show before the first line
}

void progress_add_lines(ProgressCounter& c, uint64_t lines) {
  if (c.quiet) return;
  if (!c.terminal) {
    // Every piece, built in the console's buffer: the whole text is copied,
    // a fixed size, and the next piece starts where this one ends.
    // Room for 256 pieces of at most 48 bytes: 12 KiB, so that the buffer
    // fills to over 52 KiB before it is written out.
    constexpr uint64_t kBatch = 256;
    while (lines > 0) {
      const uint64_t batch = std::min(lines, kBatch);
      char* const start = console_room(batch * sizeof c.text);
      char* out = start;
      for (uint64_t i = 0; i < batch; ++i) {
        increment(c);
        std::memcpy(out, c.text, sizeof c.text);
        out += c.length;
      }
      console_commit(static_cast<size_t>(out - start));
      lines -= batch;
    }
    return;
  }
  for (uint64_t i = 0; i < lines; ++i) {
    increment(c);
    c.shown_current = false;
    if (c.shown_at_ns == 0) {
      show(c);
    } else if (++c.unchecked >= kLinesPerClockRead) {
      c.unchecked = 0;
      if (now_ns() - c.shown_at_ns >= kRefreshNs) show(c);
    }
  }
}

void progress_finish(ProgressCounter& c) {
  if (c.terminal && !c.shown_current) show(c);
}
