#include "core/names/remote_host.h"

#include <algorithm>
#include <string_view>

#include "core/names/printable.h"
#include "core/names/punycode.h"

namespace {

constexpr std::size_t LongestName = 253;

// The code points of UTF-8 text; each byte that starts no valid sequence is a "?".
std::u32string CodePoints(std::string_view text) {
    static constexpr char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};  // no overlong forms
    std::u32string points;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xC2 && lead < 0xE0 ? 2
                                   : lead >= 0xE0 && lead < 0xF0 ? 3
                                   : lead >= 0xF0 && lead < 0xF5 ? 4
                                                                 : 0;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        std::size_t read = 1;
        for (; read < length && i + read < text.size(); ++read) {
            const auto next = static_cast<unsigned char>(text[i + read]);
            if ((next & 0xC0) != 0x80) break;
            point = point << 6 | (next & 0x3F);
        }
        const bool valid = length > 0 && read == length && point >= Least[length] &&
                           point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
        points += valid ? point : U'?';
        i += valid ? length : 1;
    }
    return points;
}

std::string AsciiName(std::string_view name) {
    std::string ascii;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t end = std::min(name.find('.', start), name.size());
        const std::u32string label = CodePoints(name.substr(start, end - start));
        if (std::ranges::all_of(label, [](char32_t point) { return point < 0x80; }))
            ascii.append(label.begin(), label.end());
        else
            ascii += "xn--" + Punycode(label);
        if (end < name.size()) ascii += '.';
        start = end + 1;
    }
    return ascii.size() > LongestName ? ascii.substr(0, LongestName) + "..." : ascii;
}

}  // namespace

std::string RemoteHostLine(const HostAnswer& answer) {
    switch (answer.kind) {
        case HostAnswer::Kind::NoRemoteHost: return "";
        case HostAnswer::Kind::LookingUp: return "Remote host: looking up...";
        case HostAnswer::Kind::Named: return "Remote host: " + AsciiName(Printable(answer.name));
        case HostAnswer::Kind::NoName: break;
    }
    return "Remote host: no name";
}
