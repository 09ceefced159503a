// The files that hstdump's FILE arguments name.
#pragma once

#include <string>
#include <vector>

// The paths that the FILE arguments stand for.
struct NamedFiles {
  std::vector<std::string> paths;      // in the order given, a pattern's matches in sorted order
  std::vector<std::string> unmatched;  // the patterns that match no file, in the order given
};

// Reads the FILE arguments as tagpress reads its data file: an argument that names an existing
// path, or holds neither '*' nor '?', is a path as written; any other is a wildcard pattern
// (expand_file_pattern) and stands for every path it matches, folders too, as a shell's
// expansion would. The command interpreters of Windows pass patterns on unexpanded; a POSIX
// shell has expanded those it could already.
NamedFiles expand_file_arguments(const std::vector<std::string>& arguments);
