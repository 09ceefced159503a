// The program's entry: banner, options, lookup of the data files, exit status.
#pragma once

#include <string>
#include <vector>

// The data files an argument names: the argument itself when such a path
// exists; otherwise, for an argument with "*" or "?", every regular file the
// pattern matches, in sorted order, without HDR and HST files (any letter
// case). Empty when nothing is found.
std::vector<std::string> find_data_files(const std::string& argument);

// An optional argument that names one more data file: two or more characters
// and an existing path (a regular file is converted, anything else is passed
// over). Every other optional argument is an option.
bool names_data_file(const std::string& argument);

// True for a named file that a run over several data files passes over
// without a message, as a pattern does: extension HDR or HST (any letter
// case), or an existing path that is not a regular file.
bool passed_over_among_several(const std::string& path);

// Runs the converter on the command line and returns the exit status: 0 when
// every conversion succeeded, 1 when the first argument named nothing, no
// data file was left to convert or a conversion failed, 255 after the usage text, 128 + the signal
// number when a stop signal ended the run.
int run_converter(int argc, char** argv);
