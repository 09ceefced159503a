// The command line of hstdump.
#pragma once

#include <string>
#include <vector>

// What one run of hstdump is asked to do.
struct DumpCommand {
  enum Action { kDump, kHelp, kVersion, kUsageError };
  Action action = kDump;
  bool local = false;              // --local: times in the system time zone
  bool summary_only = false;       // --summary: summary comment lines instead of CSV
  std::vector<std::string> files;  // in the order given
  std::string error;               // kUsageError: what is wrong, for one line on standard error
};

// Reads the arguments after the program name. Options may come before, after
// or between the files; "--" ends the options. --help and --version act as
// soon as they are met; an unknown option or no file is a usage error.
DumpCommand parse_dump_command(const std::vector<std::string>& arguments);

// The usage text, ending in LF.
const char* dump_usage_text();
