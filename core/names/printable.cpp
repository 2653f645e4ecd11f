#include "core/names/printable.h"

#include <algorithm>
#include <iterator>

namespace {

// Each run of format characters, in ascending order, from the system's Unicode data at build
// time (cmake/format_characters.cmake).
struct Run {
    char32_t first, last;
};
constexpr Run FormatCharacterRuns[] = {SOCKVIEW_FORMAT_CHARACTERS};

bool IsFormatCharacter(char32_t point) {
    const auto run = std::ranges::lower_bound(FormatCharacterRuns, point, {}, &Run::last);
    return run != std::end(FormatCharacterRuns) && run->first <= point;
}

bool ShowsAsQuestionMark(char32_t point) {
    return point < 0x20 || (point >= 0x7F && point <= 0x9F) || point == 0x2028 || point == 0x2029 ||
           IsFormatCharacter(point);
}

// The length of the valid UTF-8 sequence that starts `text` and its code point; 0 when the first
// byte starts none (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
std::size_t Decode(std::string_view text, char32_t& point) {
    static constexpr char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || text.size() < length) return 0;
    point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) return 0;
        point = point << 6 | (next & 0x3F);
    }
    const bool valid =
        point >= Least[length] && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
    return valid ? length : 0;
}

}  // namespace

std::string Printable(std::string_view name) {
    std::string text;
    text.reserve(name.size());
    while (!name.empty()) {
        char32_t point = 0;
        const std::size_t length = Decode(name, point);
        if (length == 0 || ShowsAsQuestionMark(point))
            text += '?';
        else
            text.append(name.substr(0, length));
        name.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return text;
}
