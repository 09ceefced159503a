#include "front/command_line.h"

#include "common/console.h"
#include "common/text_scan.h"

namespace {

constexpr size_t kMaxOptionalArguments = 4;

// Reads "HH:MM:SS" from the fourth character of an /i or /f argument on. The
// text is split at ":" into non-empty fields; the first three are read as
// saturating integers. Fewer than three fields leave `bound` alone.
bool parse_bound(const std::string& argument, bool& is_set, TimeOfDay& bound) {
  if (argument.size() < 3) return false;
  int32_t fields[3];
  int found = 0;
  size_t pos = 3;
  while (found < 3 && pos < argument.size()) {
    const size_t colon = argument.find(':', pos);
    const size_t field_end = colon == std::string::npos ? argument.size() : colon;
    if (field_end > pos) {
      fields[found++] = read_saturated_int(argument.data() + pos, argument.data() + field_end);
    }
    pos = field_end + 1;
  }
  if (found < 3) return false;
  bound = TimeOfDay{fields[0], fields[1], fields[2]};
  is_set = true;
  return true;
}

}  // namespace

bool parse_options(const std::vector<std::string>& arguments, ConversionOptions& options) {
  bool valid = arguments.size() <= kMaxOptionalArguments;
  for (size_t i = 0; i < arguments.size() && i < kMaxOptionalArguments; ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty()) {
      valid = false;
    } else if (argument[0] != '/') {
      options.separator = argument[0];
    } else if (argument.size() < 2) {
      valid = false;
    } else {
      switch (argument[1]) {
        case 'e':
        case 'E':
          options.delimited = true;
          break;
        case 'i':
        case 'I':
          if (!parse_bound(argument, options.has_start, options.start)) valid = false;
          break;
        case 'f':
        case 'F':
          if (!parse_bound(argument, options.has_finish, options.finish)) valid = false;
          break;
        case 'q':
        case 'Q':
          options.quiet = true;
          break;
        default:
          valid = false;
      }
    }
  }
  return valid;
}

void print_banner() {
  console_message("\n");
  console_message("ASCII File to History File Converter\n");
  console_message("tagpress " TAGPRESS_VERSION " - converts measurement logs into history files\n");
}

void print_usage() {
  console_message(
      "\n\tUsage:\ttagpress <filename> [<separator>] [/e] [/i:HH:MM:SS] [/f:HH:MM:SS]\n");
  console_message("\t\t<filename> = ASCII file with history data, e.g. 02950201.txt\n");
  console_message("\t\t[<separator>] = Data separator character, defautt: \\t <TAB>\n");
  console_message("\t\t[/e] = Extended functionality. Data value with more than 10 characteres\n");
  console_message(
      "\t\t[/i:HH:MM:SS] = Start time of data value. HH - hour, MM - minute, SS-Second\n");
  console_message(
      "\t\t[/f:HH:MM:SS] = Finsh time of data value. HH - hour, MM - minute, SS-Second\n");
}
