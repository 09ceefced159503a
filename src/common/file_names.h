// The extension of a file name.
#pragma once

#include <cstddef>
#include <string_view>

// Position in `path` of the "." that starts its extension: the last "." of the
// file name part (after the last "/"), or npos when that part has none.
size_t extension_dot(std::string_view path);

// True when `path` has the extension `extension` (given without its "."), in
// any letter case.
bool has_extension(std::string_view path, std::string_view extension);
