#include "dump_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(DumpCommandTest, ReadsOptionsAmongTheFiles) {
  using A = DumpCommand::Action;
  const struct {
    std::vector<std::string> args;
    A action;
    bool local, summary;
    std::vector<std::string> files;
    std::string error;
  } cases[] = {
      {{"a.HST"}, A::kDump, false, false, {"a.HST"}, ""},
      {{"--local", "a.HST"}, A::kDump, true, false, {"a.HST"}, ""},
      {{"a.HST", "--summary", "b.HST", "--local"}, A::kDump, true, true, {"a.HST", "b.HST"}, ""},
      {{"--", "--local", "a.HST"}, A::kDump, false, false, {"--local", "a.HST"}, ""},
      {{"-"}, A::kDump, false, false, {"-"}, ""},
      {{"--help"}, A::kHelp, false, false, {}, ""},
      {{"a.HST", "-h"}, A::kHelp, false, false, {}, ""},
      {{"--version", "--bogus"}, A::kVersion, false, false, {}, ""},
      {{}, A::kUsageError, false, false, {}, "no history file given"},
      {{"--local"}, A::kUsageError, false, false, {}, "no history file given"},
      {{"--bogus", "a.HST"}, A::kUsageError, false, false, {}, "unknown option: --bogus"},
      {{"a.HST", "-l"}, A::kUsageError, false, false, {}, "unknown option: -l"},
      {{"a.HST", "--bogus", "--help"}, A::kUsageError, false, false, {}, "unknown option: --bogus"},
  };
  for (const auto& c : cases) {
    const DumpCommand command = parse_dump_command(c.args);
    const std::string label = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(command.action, c.action) << label;
    EXPECT_EQ(command.error, c.error) << label;
    if (c.action != A::kDump) continue;
    EXPECT_EQ(command.local, c.local) << label;
    EXPECT_EQ(command.summary_only, c.summary) << label;
    EXPECT_EQ(command.files, c.files) << label;
  }
}

}  // namespace
