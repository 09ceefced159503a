// libFuzzer target: see run_check.h for the input layout and the invariants.
#include <cstddef>
#include <cstdint>

#include "fuzz_report.h"
#include "run_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return report_broken_invariant("run", fuzz_check::check_run(data, size));
}
