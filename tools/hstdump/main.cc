// hstdump: prints history files as CSV or as summary comment lines.
#include <string>
#include <vector>

#include "convert/system_time_zone.h"
#include "dump_command_line.h"
#include "file_arguments.h"
#include "history_dump.h"
#include "output_buffer.h"
#include "platform/platform.h"
#include "zone/time_zone.h"

namespace {

constexpr int kExitUsage = 2;

// Writes `text` to standard output; returns the exit status.
int print_text(const char* text) {
  OutputBuffer out;
  output_write(out, text);
  output_flush(out);
  if (out.error == 0) return 0;
  report_error("standard output: " + error_text(out.error));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away makes the next write fail instead of killing the process.
  ignore_closed_pipes();
  const DumpCommand command = parse_dump_command(std::vector<std::string>(argv + 1, argv + argc));
  switch (command.action) {
    case DumpCommand::kHelp:
      return print_text(dump_usage_text());
    case DumpCommand::kVersion:
      return print_text("hstdump " TAGPRESS_VERSION "\n");
    case DumpCommand::kUsageError:
      report_error(command.error);
      write_error_text(dump_usage_text());
      return kExitUsage;
    case DumpCommand::kDump:
      break;
  }
  TimeZone zone;
  if (command.local) {
    zone = load_system_time_zone();
    if (const std::string notice = local_time_rules_notice(); !notice.empty()) report_error(notice);
  }
  DumpSettings settings;
  settings.zone = command.local ? &zone : nullptr;
  settings.summary_only = command.summary_only;
  // As with the files, a pattern that matches nothing fails the run and the others are printed.
  const NamedFiles files = expand_file_arguments(command.files);
  for (const std::string& pattern : files.unmatched) {
    report_error(pattern + ": no file matches the pattern");
  }
  OutputBuffer out;
  const int status = dump_history_files(files.paths, settings, out);
  return files.unmatched.empty() ? status : 1;
}
