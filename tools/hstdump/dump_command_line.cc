#include "dump_command_line.h"

namespace {

DumpCommand usage_error(std::string message) {
  DumpCommand command;
  command.action = DumpCommand::kUsageError;
  command.error = std::move(message);
  return command;
}

}  // namespace

DumpCommand parse_dump_command(const std::vector<std::string>& arguments) {
  DumpCommand command;
  bool options_ended = false;
  for (const std::string& argument : arguments) {
    const bool is_option = !options_ended && argument.size() > 1 && argument[0] == '-';
    if (!is_option) {
      command.files.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "--help" || argument == "-h") {
      command.action = DumpCommand::kHelp;
      return command;
    } else if (argument == "--version") {
      command.action = DumpCommand::kVersion;
      return command;
    } else if (argument == "--local") {
      command.local = true;
    } else if (argument == "--summary") {
      command.summary_only = true;
    } else {
      return usage_error("unknown option: " + argument);
    }
  }
  if (command.files.empty()) return usage_error("no history file given");
  return command;
}

const char* dump_usage_text() {
  return "Usage: hstdump [--local] [--summary] FILE.HST...\n"
         "       hstdump --help | --version\n"
         "Prints history files as CSV: a 'time,<tag names>' row, then one row per record.\n"
         "With several files, a first column 'file' holds each row's file, and the one\n"
         "header row lists every tag of any file; a file without a tag leaves it empty.\n"
         "  --local    show times in the system time zone (TZ) with their UTC offset\n"
         "             instead of UTC\n"
         "  --summary  print a summary of each file in '# ' comment lines instead of CSV\n"
         "  --help     show this text\n"
         "  --version  show the version\n"
         "Exit status: 0 done, 1 a file is not a valid history file or output failed,\n"
         "2 usage error.\n";
}
