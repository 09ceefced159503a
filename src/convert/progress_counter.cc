#include "convert/progress_counter.h"

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

void progress_next_line(ProgressCounter& c) {
  if (c.quiet) return;
  increment(c);
  if (!c.terminal) {
    console_write(std::string_view(c.text, c.length));
    return;
  }
  c.shown_current = false;
  if (c.shown_at_ns == 0) {
    show(c);
  } else if (++c.unchecked >= kLinesPerClockRead) {
    c.unchecked = 0;
    if (now_ns() - c.shown_at_ns >= kRefreshNs) show(c);
  }
}

void progress_finish(ProgressCounter& c) {
  if (c.terminal && !c.shown_current) show(c);
}
