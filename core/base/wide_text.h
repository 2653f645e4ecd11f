#pragma once

#include <string>
#include <string_view>

// Text as Windows' wide calls give it (UTF-16), in the UTF-8 that the rest of the program speaks,
// and back.
std::string Utf8(std::wstring_view text);
std::wstring Utf16(std::string_view text);
