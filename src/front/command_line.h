// The optional arguments after the data file name, and the texts about them.
#pragma once

#include <string>
#include <vector>

#include "common/conversion_options.h"

// Reads the option arguments (the optional arguments that name no data file)
// in order into `options`, which keeps its values for anything not given.
// Returns false when any argument is invalid: more than four of them, an empty
// one, an unknown "/" option (known: /e, /i, /f, /q by their second letter in
// either case), or an /i or /f bound with fewer than three fields. Every
// argument is examined even after an invalid one.
bool parse_options(const std::vector<std::string>& arguments, ConversionOptions& options);

// Prints the banner that starts every run.
void print_banner();

// Prints the usage text.
void print_usage();
