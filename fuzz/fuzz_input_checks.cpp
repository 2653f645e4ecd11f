// Whatever the value box holds: a value the checks accept must be one that matches
// connections, since the filters compare addresses as shown and ports as numbers.
#include <charconv>
#include <string>

#include "core/list/filters.h"
#include "core/list/input_checks.h"
#include "core/list/row_text.h"

namespace {

void CheckAddress(std::string_view value) {
    if (AddressRefusal(value)) return;
    Ipv4Address address{};
    std::size_t part = 0;
    unsigned number = 0;
    for (const char c : value) {
        if (c == '.') {
            if (part >= 3) __builtin_trap();
            address[part++] = static_cast<std::uint8_t>(number);
            number = 0;
        } else {
            if (c < '0' || c > '9') __builtin_trap();
            number = number * 10 + static_cast<unsigned>(c - '0');
            if (number > 255) __builtin_trap();
        }
    }
    if (part != 3) __builtin_trap();
    address[3] = static_cast<std::uint8_t>(number);
    if (IpText(address) != value) __builtin_trap();
}

void CheckPort(std::string_view value) {
    if (PortRefusal(value)) return;
    double number = -1;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number,
                                              std::chars_format::fixed);
    if (error != std::errc{} || end != value.data() + value.size()) __builtin_trap();
    if (number < 0 || number > 65535 || number != static_cast<int>(number)) __builtin_trap();
    Filters filters;
    filters.add(FilterKind::LocalPort, value);
    TcpRow row;
    row.localPort = PortField(static_cast<std::uint16_t>(number));
    if (!filters.hides(row)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view value(reinterpret_cast<const char*>(data), size);
    CheckAddress(value);
    CheckPort(value);
    for (const char c : ValueBoxText(value)) {
        if ((c < '0' || c > '9') && c != '.') __builtin_trap();
    }
    return 0;
}
