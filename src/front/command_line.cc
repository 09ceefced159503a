#include "front/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/console.h"
#include "common/text_scan.h"
#include "convert/time_window.h"
#include "convert/warnings.h"

namespace {

constexpr size_t kMaxOptionalArguments = 4;

// A long option ("--name") and what it sets.
struct LongOption {
  std::string_view name;
  void (*apply)(ConversionOptions& options);
};

// The long options read among the optional arguments. --help, -h and --version are not among
// them: the driver answers those before any option is read. Any other argument of two or more
// characters that starts with '-' is refused, so that no option word is taken for a separator.
constexpr std::array kLongOptions{
    LongOption{"--decimal-comma", [](ConversionOptions& o) { o.decimal_comma = true; }},
    LongOption{"--blanks",
               [](ConversionOptions& o) {
                 o.blanks = true;
                 o.delimited = true;
               }},
    LongOption{"--month-first", [](ConversionOptions& o) { o.month_first = true; }},
    LongOption{"--nan", [](ConversionOptions& o) { o.nan = true; }},
    LongOption{"--strict", [](ConversionOptions& o) { o.strict = true; }},
    LongOption{"--quiet", [](ConversionOptions& o) { o.quiet = true; }},
};

constexpr char lower_case(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Whether `word` is a non-empty start of `full` (lower case), `word` in any letter case.
bool starts_word(std::string_view word, std::string_view full) {
  return !word.empty() && word.size() <= full.size() &&
         std::equal(word.begin(), word.end(), full.begin(),
                    [](char a, char b) { return lower_case(a) == b; });
}

// The '/' option that an argument written with '-' resembles: "-e" and "--ext" are "/e",
// "-q" and "--quiet" "/q", "-i:08:00:00" is "/i:08:00:00". Empty when it resembles none.
std::string slash_form(std::string_view argument) {
  const std::string_view word = argument.substr(argument.starts_with("--") ? 2 : 1);
  if (starts_word(word, "extended") || starts_word(word, "quiet")) {
    return join({"/", word.substr(0, 1)});
  }
  const char letter = word.empty() ? '\0' : lower_case(word[0]);
  if ((letter == 'i' || letter == 'f') && word.find(':') != std::string_view::npos) {
    return join({"/", word});
  }
  return {};
}

// Reads an argument of two or more characters that starts with '-': a long option, else a fault
// that names the '/' option it resembles.
void read_long_option(const std::string& argument, ConversionOptions& options,
                      OptionReport& report) {
  for (const LongOption& option : kLongOptions) {
    if (argument == option.name) {
      option.apply(options);
      return;
    }
  }
  const std::string_view name = std::string_view(argument).substr(0, argument.find('='));
  for (const LongOption& option : kLongOptions) {
    if (name.size() < argument.size() && name == option.name) {
      report.faults.push_back(
          join({"'", argument, "' is not an option; '", option.name, "' takes no value"}));
      return;
    }
  }
  const std::string slash = slash_form(argument);
  report.faults.push_back(
      slash.empty() ? join({"'", argument, "' is not an option"})
                    : join({"'", argument, "' is not an option; did you mean '", slash, "'?"}));
}

// "\t" as typed is TAB, as the usage text shows the default. Any other argument sets its first
// character; a longer one is told, since only that character counts.
void read_separator(const std::string& argument, ConversionOptions& options, OptionReport& report) {
  if (argument == "\\t") {
    options.separator = '\t';
    return;
  }
  options.separator = argument[0];
  if (argument.size() > 1) {
    report.notes.push_back(
        join({"separator argument '", argument, "' is read as its first character ",
              quote_line(argument.substr(0, 1))}));
  }
}

// Whether `text` is one decimal integer: blanks, a sign, digits and nothing else.
bool is_integer_text(std::string_view text) {
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  return !text.empty() && std::all_of(text.begin(), text.end(), is_digit);
}

std::string two_digits(int32_t value) {
  return join({value >= 0 && value < 10 ? "0" : "", std::to_string(value)});
}

std::string time_text(const TimeOfDay& t) {
  return join({two_digits(t.hour), ":", two_digits(t.minute), ":", two_digits(t.second)});
}

// Reads "HH:MM:SS" from the fourth character of an /i or /f argument on. The
// text is split at ":" into non-empty fields; the first three are read as
// saturating integers. Fewer than three fields leave `bound` alone.
bool parse_bound(const std::string& argument, const char* name, bool& is_set, TimeOfDay& bound,
                 OptionReport& report) {
  if (argument.size() < 3) {
    report.faults.push_back(
        join({"'", argument, "' has no time; it takes ", argument.substr(0, 2), ":HH:MM:SS"}));
    return false;
  }
  int32_t fields[3];
  int found = 0;
  size_t pos = 3;
  std::string surprises;
  while (found < 3 && pos < argument.size()) {
    const size_t colon = argument.find(':', pos);
    const size_t field_end = colon == std::string::npos ? argument.size() : colon;
    if (field_end > pos) {
      const std::string_view field(argument.data() + pos, field_end - pos);
      fields[found++] = read_saturated_int(field.data(), field.data() + field.size());
      if (!is_integer_text(field)) surprises += join({"; '", field, "' is not a number"});
    }
    pos = field_end + 1;
  }
  if (found < 3) {
    report.faults.push_back(join({"'", argument, "' has ", std::to_string(found),
                                  found == 1 ? " field" : " fields", "; HH:MM:SS takes 3"}));
    return false;
  }
  bound = TimeOfDay{fields[0], fields[1], fields[2]};
  is_set = true;
  if (argument[2] != ':') surprises = join({"; its third character is not ':'", surprises});
  if (!surprises.empty()) {
    report.notes.push_back(
        join({"'", argument, "' is read as ", name, " ", time_text(bound), surprises}));
  }
  return true;
}

}  // namespace

bool parse_options(const std::vector<std::string>& arguments, ConversionOptions& options,
                   OptionReport& report) {
  // Long options may stand anywhere among the others and do not count toward their number.
  const auto is_long = [](const std::string& a) { return a.size() >= 2 && a[0] == '-'; };
  size_t classic = 0;
  for (const std::string& argument : arguments) {
    if (!is_long(argument) && ++classic > kMaxOptionalArguments) {
      report.faults.push_back(join({"'", argument, "' is one optional argument too many; at most ",
                                    std::to_string(kMaxOptionalArguments), " are read"}));
    }
  }
  classic = 0;
  std::string separator_argument;  // the last one given, if any
  for (const std::string& argument : arguments) {
    if (is_long(argument)) {
      read_long_option(argument, options, report);
      continue;
    }
    if (++classic > kMaxOptionalArguments) continue;
    if (argument.empty()) {
      report.faults.push_back("an empty argument is neither a separator nor an option");
    } else if (argument[0] != '/') {
      read_separator(argument, options, report);
      separator_argument = argument;
    } else if (argument.size() < 2) {
      report.faults.push_back("'/' is not an option");
    } else {
      switch (argument[1]) {
        case 'e':
        case 'E':
          options.delimited = true;
          break;
        case 'i':
        case 'I':
          parse_bound(argument, "start", options.has_start, options.start, report);
          break;
        case 'f':
        case 'F':
          parse_bound(argument, "finish", options.has_finish, options.finish, report);
          break;
        case 'q':
        case 'Q':
          options.quiet = true;
          break;
        default:
          report.faults.push_back(join({"'", argument, "' is not an option"}));
      }
    }
  }
  if (options.decimal_comma && options.separator == ',' && !separator_argument.empty()) {
    report.faults.push_back(
        "'--decimal-comma' makes ',' the decimal point of values: it cannot be the separator too");
  }
  if (options.blanks && !separator_argument.empty()) {
    report.faults.push_back(
        join({"'--blanks' splits values at runs of blanks and tabs: it takes no "
              "separator argument, and '",
              separator_argument, "' is one"}));
  }
  if (!window_admits_a_time(options)) {
    report.notes.push_back(
        join({"the window from ", options.has_start ? time_text(options.start) : "00:00:00", " to ",
              options.has_finish ? time_text(options.finish) : "23:59:59",
              " admits no time of day (it does not wrap past midnight): every line is dropped"}));
  }
  return report.faults.empty();
}

bool is_option_word(std::string_view argument) {
  if (argument.size() < 2) return false;
  if (argument[0] == '-') return true;
  if (argument[0] != '/') return false;
  const char letter = lower_case(argument[1]);
  if (argument.size() == 2) return letter == 'e' || letter == 'q';
  const std::string_view rest = argument.substr(2);
  return (letter == 'i' || letter == 'f') && rest.find(':') != std::string_view::npos &&
         rest.find('/') == std::string_view::npos;
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

void print_help_more() {
  console_message(
      "\n\tMore:\t[/q] = Quiet: no line counter\n"
      "\t\t/e = delimited: values are split at the separator and may have any width;\n"
      "\t\t  without /e each value has 10 columns and one column between (fixed width)\n"
      "\t\tSeveral data files, or a pattern such as *.txt, convert one after the other;\n"
      "\t\t  .HDR and .HST files among them are passed over\n"
      "\t\tTZ = time zone of the times in the data file (default: the system's)\n"
      "\t\tTAGPRESS_THREADS = threads that convert a file (default: the CPUs, at most 16)\n"
      "\t\tProgress, tag names and failures go to standard output; warnings, and why a\n"
      "\t\t  run failed, to standard error\n"
      "\t\t\\t = TAB as the separator; --help, -h and --version work in any position\n"
      "\t\tLong options, anywhere after the data file:\n"
      "\t\t  --decimal-comma = ',' is the decimal point of values\n"
      "\t\t  --blanks = values split at runs of blanks and tabs (delimited)\n"
      "\t\t  --month-first = dates are MM/DD/YYYY\n"
      "\t\t  --nan = a value not in the line is written as NaN, not 0\n"
      "\t\t  --strict = a file that draws any warning is not converted\n"
      "\t\t  --quiet = the same as /q\n"
      "\t\tLines end at LF, CR LF, a lone CR or NUL bytes; UTF-16 files are read as such\n"
      "\t\tTimes may also be written HH:MM:SS,fff and 1:05:07 PM\n"
      "\t\tExit status: 0 converted, 1 a file failed or none was found, 255 usage,\n"
      "\t\t  128 + N stopped by signal N\n");
}
