#include "core/names/host_name.h"

#include <algorithm>
#include <optional>

#include "core/names/idna.h"
#include "core/names/printable.h"

namespace {

constexpr std::size_t LongestName = 253;

}  // namespace

std::string ShownHostName(const std::string& name) {
    const std::string printable = Printable(name);
    std::string ascii;
    if (std::ranges::all_of(printable, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        ascii = printable;
    else if (std::optional<std::string> registered = RegisteredAsciiName(printable))
        ascii = std::move(*registered);
    else
        for (const char c : printable)
            if ((c & 0xC0) != 0x80) ascii += (c & 0x80) ? '?' : c;  // one "?" per character
    return ascii.size() > LongestName ? ascii.substr(0, LongestName) + "..." : ascii;
}
