// Runs the README's numpy recipe for reading a history file on files the
// converter wrote, when a python3 with numpy is on the machine.
#include <cstdlib>

#include "front/end_to_end_harness.h"

namespace e2e {
namespace {

// A python3 that can import numpy, or empty.
std::string python_with_numpy() {
  for (const std::string python : {"python3", "/usr/bin/python3"}) {
    if (std::system((python + " -c 'import numpy' > /dev/null 2>&1").c_str()) == 0) return python;
  }
  return "";
}

// The README's code block that defines read_hst.
std::string readme_recipe() {
  const std::string readme = read_file(fs::path(TAGPRESS_SOURCE_DIR) / "README.md");
  const size_t definition = readme.find("\ndef read_hst(");
  const size_t start = readme.rfind("```python\n", definition);
  const size_t end = readme.find("\n```\n", definition);
  if (definition == std::string::npos || start == std::string::npos || end == std::string::npos) {
    return "";
  }
  return readme.substr(start + 10, end + 1 - (start + 10));
}

TEST_F(TagpressTest, ReadmeNumpyRecipeReadsWhatWasWritten) {
  const std::string recipe = readme_recipe();
  ASSERT_NE(recipe, "") << "README.md has no python block defining read_hst";
  const std::string python = python_with_numpy();
  if (python.empty()) GTEST_SKIP() << "no python3 with numpy here: the README recipe is not tried";

  write_file(dir_ / "log.HDR", "2\nT1\nflow\n");
  write_file(dir_ / "log.txt",
             "05/03/2015 10:20:30\t      1.25\t      -3.5\n"
             "01/07/1890 00:00:00.999\t     1e300\t        -0\n");
  write_file(dir_ / "none.HDR", "0\n");
  write_file(dir_ / "none.txt", "31/12/9999 23:59:59\n");
  // Names saved in Windows-1252: the recipe must read them as hstdump prints them.
  write_file(dir_ / "w1252.HDR", "2\nT\xB0\n\x80\x81\n");
  write_file(dir_ / "w1252.txt", "05/03/2015 10:20:30\t         1\t         2\n");
  ASSERT_EQ(run({"log.txt", "none.txt", "w1252.txt", "/q"}).status, 0);
  write_file(dir_ / "recipe.py",
             recipe +
                 "import sys\n"
                 "for path in sys.argv[1:]:\n"
                 "    names, times, records = read_hst(path)\n"
                 "    print(\",\".join([\"time\"] + names), len(records))\n"
                 "    for time, record in zip(times, records):\n"
                 "        print(time, *[repr(float(record[name])) for name in names])\n");
  const std::string command = "cd '" + dir_.string() + "' && PYTHONIOENCODING=utf-8 " + python +
                              " recipe.py log.HST none.HST w1252.HST > out.txt 2>&1 && " +
                              HSTDUMP_BINARY + " w1252.HST > dump.csv 2>/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << read_file(dir_ / "out.txt");
  const std::string w1252_names = "time,T\u00B0,\u20AC\u0081";
  EXPECT_EQ(read_file(dir_ / "out.txt"),
            "time,T1,flow 2\n"
            "2015-03-05T10:20:30.000000 1.25 -3.5\n"
            "1890-07-01T00:00:00.999000 1e+300 -0.0\n"
            "time 1\n"
            "9999-12-31T23:59:59.000000\n" +
                w1252_names + " 1\n2015-03-05T10:20:30.000000 1.0 2.0\n");
  EXPECT_EQ(read_file(dir_ / "dump.csv"), w1252_names + "\n2015-03-05T10:20:30.000Z,1,2\n");
}

}  // namespace
}  // namespace e2e
