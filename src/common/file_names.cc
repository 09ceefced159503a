#include "common/file_names.h"

#include <filesystem>
#include <system_error>

#include "platform/platform.h"

size_t extension_dot(std::string_view path) {
  const size_t slash = path.find_last_of(folder_separators());
  const size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  const size_t dot = path.find_last_of('.');
  return dot == std::string_view::npos || dot < name_start ? std::string_view::npos : dot;
}

bool has_extension(std::string_view path, std::string_view extension) {
  const size_t dot = extension_dot(path);
  if (dot == std::string_view::npos || path.size() - dot - 1 != extension.size()) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (size_t i = 0; i < extension.size(); ++i) {
    if (lower(path[dot + 1 + i]) != lower(extension[i])) return false;
  }
  return true;
}

std::string tag_header_to_read(const std::string& header) {
  if (!has_extension(header, "HDR")) return header;
  std::error_code error;
  if (path_status(header, error).type() != std::filesystem::file_type::not_found) {
    return header;
  }
  const std::string lower = header.substr(0, header.size() - 3) + "hdr";
  const OwnedFile file(open_for_reading(lower).file);
  return is_open(file.handle) ? lower : header;
}
