// Tag names as text. A history file holds each name as bytes; hstdump prints
// a name that is UTF-8 as it is and reads any other as Windows-1252, the code
// page of the system the files come from, so that its output is always UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// True when `bytes` is well-formed UTF-8: every sequence complete, in its
// shortest form, and neither a surrogate (U+D800..U+DFFF) nor above U+10FFFF.
bool is_utf8(std::string_view bytes);

// `bytes` read as Windows-1252, in UTF-8. 0x80..0x9F are the code page's
// letters and signs (0x80 U+20AC, 0x82 U+201A, ...); the five bytes it leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+0081 and so on, as
// Windows' MultiByteToWideChar reads them; 0xA0..0xFF are U+00A0..U+00FF.
std::string utf8_from_windows_1252(std::string_view bytes);

// Replaces each of `names` that is not UTF-8 by its Windows-1252 reading and
// returns how many were replaced.
int recode_tag_names(std::vector<std::string>& names);
