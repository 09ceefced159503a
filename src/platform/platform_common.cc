// Calls built from the other calls of the platform, the same on every system.
#include <cstring>

#include "platform/platform.h"

bool is_tzif_file(const std::string& path) {
  OwnedFile file(open_for_reading(path).file);
  if (!is_open(file.handle)) return false;
  char magic[4];
  const SizeResult got = read_some(file.handle, magic, sizeof magic);
  return got.bytes == sizeof magic && std::memcmp(magic, "TZif", 4) == 0;
}

bool is_file_pattern(std::string_view argument) {
  return argument.find_first_of("*?") != std::string_view::npos;
}
