// File names: the extension of a name, and which tag header file to read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Position in `path` of the "." that starts its extension: the last "." of the
// file name part (after the last "/"), or npos when that part has none.
size_t extension_dot(std::string_view path);

// True when `path` has the extension `extension` (given without its "."), in
// any letter case.
bool has_extension(std::string_view path, std::string_view extension);

// The tag header file to read for the companion path `header` (STEM.HDR):
// STEM.hdr when no STEM.HDR exists and STEM.hdr is a regular file that opens
// for reading (logs copied from Windows shares come so), else `header` itself,
// which then also names the file in a could-not-open message.
std::string tag_header_to_read(const std::string& header);
