#include "core/names/remote_host.h"

#include <algorithm>
#include <optional>

#include "core/names/idna.h"
#include "core/names/printable.h"

namespace {

constexpr std::size_t LongestName = 253;

// The name in ASCII: as it is when it is ASCII already, else in its registered form, else with
// each character beyond ASCII as "?". Never as raw Unicode: a look-alike letter would pass for
// another host.
std::string AsciiName(const std::string& name) {
    std::string ascii;
    if (std::ranges::all_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        ascii = name;
    else if (std::optional<std::string> registered = RegisteredAsciiName(name))
        ascii = std::move(*registered);
    else
        for (const char c : name)
            if ((c & 0xC0) != 0x80) ascii += (c & 0x80) ? '?' : c;  // one "?" per character
    return ascii.size() > LongestName ? ascii.substr(0, LongestName) + "..." : ascii;
}

}  // namespace

bool HasRemoteHost(const TcpRow& row) {
    return row.state != TcpState::Listen && row.remoteAddress != Ipv4Address{};
}

HostAnswer HostAnswerOf(const std::optional<std::optional<std::string>>& known) {
    if (!known) return {HostAnswer::Kind::LookingUp, {}};
    if (!*known) return {HostAnswer::Kind::NoName, {}};
    return {HostAnswer::Kind::Named, **known};
}

std::string RemoteHostLine(const HostAnswer& answer) {
    switch (answer.kind) {
        case HostAnswer::Kind::NoRemoteHost: return "";
        case HostAnswer::Kind::LookingUp: return "Remote host: looking up...";
        case HostAnswer::Kind::Named: return "Remote host: " + AsciiName(Printable(answer.name));
        case HostAnswer::Kind::NoName: break;
    }
    return "Remote host: no name";
}
