#include "core/list/input_checks.h"

#include <algorithm>
#include <iterator>

namespace {

bool IsDigit(char32_t character) { return character >= U'0' && character <= U'9'; }

bool IsValueCharacter(char32_t character) { return IsDigit(character) || character == U'.'; }

bool IsAddressPart(std::string_view part) {
    if (part.empty() || part.size() > 3 || !std::ranges::all_of(part, IsDigit)) return false;
    if (part.size() > 1 && part.front() == '0') return false;
    int number = 0;
    for (const char digit : part) number = number * 10 + (digit - '0');
    return number <= 255;
}

}  // namespace

std::optional<std::string_view> AddressRefusal(std::string_view value) {
    int parts = 0;
    while (true) {
        const auto dot = value.find('.');
        if (!IsAddressPart(value.substr(0, dot))) return InvalidAddressMessage;
        ++parts;
        if (dot == std::string_view::npos) break;
        value.remove_prefix(dot + 1);
    }
    if (parts != 4) return InvalidAddressMessage;
    return std::nullopt;
}

std::optional<std::string_view> PortRefusal(std::string_view value) {
    const auto point = value.find('.');
    const std::string_view whole = value.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : value.substr(point + 1);
    if (whole.empty() && fraction.empty()) return InvalidPortMessage;
    if (!std::ranges::all_of(whole, IsDigit) || !std::ranges::all_of(fraction, IsDigit))
        return InvalidPortMessage;  // also a second "."
    if (!std::ranges::all_of(fraction, [](char digit) { return digit == '0'; }))
        return InvalidPortMessage;  // a fraction matches no port
    long number = 0;
    for (const char digit : whole) {
        number = number * 10 + (digit - '0');
        if (number > 65535) return InvalidPortMessage;
    }
    return std::nullopt;
}

bool KeyReachesValueBox(char32_t character) {
    return IsValueCharacter(character) || character == U'\b';
}

std::string ValueBoxText(std::string_view text) {
    std::string kept;
    std::ranges::copy_if(text, std::back_inserter(kept), IsValueCharacter);
    return kept;
}
