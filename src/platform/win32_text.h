// Text at the Windows boundary: the programs keep UTF-8, the W calls of Windows take UTF-16.
#pragma once

#include <string>
#include <string_view>

// `text` (UTF-8) as UTF-16 for a W call; invalid bytes become U+FFFD.
std::wstring wide_text(std::string_view text);

// `text` (UTF-16 from a W call) as UTF-8.
std::string utf8_text(std::wstring_view text);
