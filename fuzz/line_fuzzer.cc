// libFuzzer target: see line_check.h for the input layout and the invariants.
#include <cstddef>
#include <cstdint>

#include "fuzz_report.h"
#include "line_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return report_broken_invariant("line", fuzz_check::check_line(data, size));
}
