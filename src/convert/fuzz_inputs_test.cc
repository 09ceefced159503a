// Replays the fuzz targets' seed corpora and every input kept under
// fuzz/regressions/ through the same checks the fuzz targets run, so that a
// fixed finding stays fixed in the ordinary test build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/line_check.h"
#include "../../fuzz/options_check.h"
#include "../../fuzz/run_check.h"
#include "../../fuzz/tag_header_check.h"

namespace {

namespace fs = std::filesystem;

using Check = std::string (*)(const uint8_t*, size_t);

// Every file under fuzz/corpus/<target> and fuzz/regressions/<target>.
std::vector<fs::path> inputs_of(const std::string& target) {
  std::vector<fs::path> paths;
  for (const char* kind : {"corpus", "regressions"}) {
    const fs::path dir = fs::path(TAGPRESS_SOURCE_DIR) / "fuzz" / kind / target;
    if (!fs::is_directory(dir)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.is_regular_file()) paths.push_back(entry.path());
    }
  }
  return paths;
}

void replay(const std::string& target, Check check, size_t at_least) {
  const std::vector<fs::path> paths = inputs_of(target);
  EXPECT_GE(paths.size(), at_least) << "seed corpus of " << target << " is missing";
  for (const fs::path& path : paths) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "") << path;
  }
}

TEST(FuzzInputsTest, ReplaysEveryKeptInput) {
  const struct {
    std::string target;
    Check check;
  } targets[] = {
      {"line", fuzz_check::check_line},
      {"tag_header", fuzz_check::check_tag_header},
      {"options", fuzz_check::check_options},
      {"run", fuzz_check::check_run},
  };
  for (const auto& t : targets) replay(t.target, t.check, 5);
}

}  // namespace
