// libFuzzer target: see tag_header_check.h for the input layout and the invariants.
#include <cstddef>
#include <cstdint>

#include "fuzz_report.h"
#include "tag_header_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return report_broken_invariant("tag_header", fuzz_check::check_tag_header(data, size));
}
