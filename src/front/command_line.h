// The optional arguments after the data file name, and the texts about them.
#pragma once

#include <string>
#include <vector>

#include "common/conversion_options.h"

// What parse_options has to tell about the arguments.
struct OptionReport {
  std::vector<std::string> faults;  // why the arguments are invalid, one line per argument at fault
  std::vector<std::string> notes;   // arguments read in a way their writer may not expect
};

// Reads the option arguments (the optional arguments that name no data file)
// in order into `options`, which keeps its values for anything not given.
// Returns false when any argument is invalid: more than four of them, an empty
// one, an unknown "/" option (known: /e, /i, /f, /q by their second letter in
// either case), or an /i or /f bound with fewer than three fields. Every
// argument is examined even after an invalid one; `report` says why each
// invalid one is, and which /i or /f bound was read differently than it reads
// (a third character other than ':', a field that is not a number).
bool parse_options(const std::vector<std::string>& arguments, ConversionOptions& options,
                   OptionReport& report);

// Prints the banner that starts every run.
void print_banner();

// Prints the usage text.
void print_usage();

// Prints, after the usage text of --help, what the usage text leaves out.
void print_help_more();
