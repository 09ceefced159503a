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
  bool has_file = false;
  for (const std::string& argument : arguments) {
    const bool is_option = !options_ended && argument.size() > 1 && argument[0] == '-';
    if (!is_option) {
      if (has_file) return usage_error("more than one file given: " + argument);
      command.file = argument;
      has_file = true;
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
  if (!has_file) return usage_error("no history file given");
  return command;
}

const char* dump_usage_text() {
  return "Usage: hstdump [--local] [--summary] FILE.HST\n"
         "       hstdump --help | --version\n"
         "Prints a history file as a summary in '# ' comment lines followed by CSV:\n"
         "a 'time,<tag names>' row, then one row per record.\n"
         "  --local    show times in the system time zone (TZ) with their UTC offset\n"
         "             instead of UTC\n"
         "  --summary  print the comment lines only\n"
         "  --help     show this text\n"
         "  --version  show the version\n"
         "Exit status: 0 done, 1 the file is not a valid history file or output failed,\n"
         "2 usage error.\n";
}
