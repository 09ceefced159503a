// The optional arguments after the data file name, and the texts about them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/conversion_options.h"

// What parse_options has to tell about the arguments.
struct OptionReport {
  std::vector<std::string> faults;  // why the arguments are invalid, one line per argument at fault
  std::vector<std::string> notes;   // arguments read in a way their writer may not expect
};

// Reads the option arguments (the optional arguments that name no data file)
// in order into `options`, which keeps its values for anything not given.
// An argument of two or more characters that starts with '-' is a long option
// ("--month-first"), written out in full, without a value; long options may
// stand anywhere and do not count toward the four other arguments. Of those,
// one that does not start with '/' sets the separator: "\t" as typed
// is TAB, anything else its first character. Returns false when any argument
// is invalid: more than four that are not long options, an empty one, an
// unknown "/" option (known: /e, /i, /f, /q by their second letter in either
// case), an /i or /f bound with fewer than three fields, an unknown long
// option, a separator argument with --blanks, or ',' as the separator with
// --decimal-comma. Every argument is examined even after an invalid one;
// `report` says why each invalid one is, and which arguments were read
// differently than they read: an /i or /f bound (a third character other than
// ':', a field that is not a number), a separator of more than one character.
bool parse_options(const std::vector<std::string>& arguments, ConversionOptions& options,
                   OptionReport& report);

// Whether a first argument that names nothing looks like an option rather than a
// misspelt data file: "/e" or "/q" alone (either case), "/i" or "/f" followed by
// text with a ':' and no further '/' ("/i:08:00:00", not "/etc/log.txt"), or two
// or more characters starting with '-'.
bool is_option_word(std::string_view argument);

// Prints the banner that starts every run.
void print_banner();

// Prints the usage text.
void print_usage();

// Prints, after the usage text of --help, what the usage text leaves out.
void print_help_more();
