#include "file_arguments.h"

#include <system_error>

#include "platform/platform.h"

NamedFiles expand_file_arguments(const std::vector<std::string>& arguments) {
  NamedFiles named;
  for (const std::string& argument : arguments) {
    std::error_code error;
    (void)path_status(argument, error);
    if (!error || !is_file_pattern(argument)) {
      named.paths.push_back(argument);
      continue;
    }
    std::vector<std::string> matches = expand_file_pattern(argument);
    if (matches.empty()) named.unmatched.push_back(argument);
    for (std::string& path : matches) named.paths.push_back(std::move(path));
  }
  return named;
}
