#include <windows.h>

#include "core/base/wide_text.h"
#include "core/names/idna.h"

// IdnToAscii maps (lower case, normalisation) and encodes as the system's name resolution does.
std::optional<std::string> RegisteredAsciiName(std::string_view name) {
    const std::wstring wide = Utf16(name);
    const int length = static_cast<int>(wide.size());
    const int size = IdnToAscii(0, wide.data(), length, nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring ascii(static_cast<std::size_t>(size), L'\0');
    if (IdnToAscii(0, wide.data(), length, ascii.data(), size) != size) return std::nullopt;
    return Utf8(ascii);
}
