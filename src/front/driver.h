// The program's entry: banner, options, lookup of the data files, exit status.
#pragma once

#include <string>
#include <vector>

// The data files an argument names: the argument itself when such a path
// exists; otherwise, for an argument with "*" or "?", every regular file the
// pattern matches, in sorted order, without HDR and HST files (any letter
// case). Empty when nothing is found.
std::vector<std::string> find_data_files(const std::string& argument);

// Runs the converter on the command line and returns the exit status: 0 when
// every conversion succeeded, 1 when the data file was not found or a
// conversion failed, 255 after the usage text, 128 + the signal number when a
// stop signal ended the run.
int run_converter(int argc, char** argv);
