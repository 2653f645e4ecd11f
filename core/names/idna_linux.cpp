#include <idn2.h>

#include <cstdlib>
#include <memory>

#include "core/names/idna.h"

// libidn2, with the mapping of Unicode's UTS #46 (its default, non-transitional processing).
std::optional<std::string> RegisteredAsciiName(std::string_view name) {
    char* ascii = nullptr;
    const int status =
        idn2_to_ascii_8z(std::string(name).c_str(), &ascii, IDN2_NONTRANSITIONAL | IDN2_NFC_INPUT);
    const std::unique_ptr<char, decltype(&std::free)> owned(ascii, &std::free);
    if (status != IDN2_OK || ascii == nullptr) return std::nullopt;
    return std::string(ascii);
}
