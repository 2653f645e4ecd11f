#include "core/names/printable.h"

std::string Printable(std::string_view name) {
    std::string text;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            text += '?';
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F
            text += '?';
            ++i;
        } else if (name.substr(i, 3) == "\u2028" || name.substr(i, 3) == "\u2029") {
            text += '?';
            i += 2;
        } else {
            text += name[i];
        }
    }
    return text;
}
