#include "ss_listing.h"

#include <arpa/inet.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>

namespace {

// ss's own state names.
std::int32_t StateCode(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, std::int32_t>, 11> names = {{
        {"UNCONN", TcpState::Closed},
        {"LISTEN", TcpState::Listen},
        {"SYN-SENT", TcpState::SynSent},
        {"SYN-RECV", TcpState::SynReceived},
        {"ESTAB", TcpState::Established},
        {"FIN-WAIT-1", TcpState::FinWait1},
        {"FIN-WAIT-2", TcpState::FinWait2},
        {"CLOSE-WAIT", TcpState::CloseWait},
        {"CLOSING", TcpState::Closing},
        {"LAST-ACK", TcpState::LastAck},
        {"TIME-WAIT", TcpState::TimeWait},
    }};
    for (const auto& [text, code] : names)
        if (text == name) return code;
    return 0;
}

struct Endpoint {
    RawField address;
    RawField port;
};

// "127.0.0.2:8080", "0.0.0.0:*" or "[::ffff:127.0.0.2]:8443"; nothing for other addresses ("*",
// "[::1]").
std::optional<Endpoint> ParseEndpoint(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view address = text.substr(0, colon);
    const std::string_view port = text.substr(colon + 1);
    if (address.starts_with("[::ffff:") && address.ends_with("]"))
        address = address.substr(8, address.size() - 9);
    std::uint16_t number = 0;  // ss writes port 0 as "*"
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    const bool portRead = port == "*" || (error == std::errc{} && end == port.data() + port.size());
    in_addr bytes{};
    if (!portRead || inet_pton(AF_INET, std::string(address).c_str(), &bytes) != 1)
        return std::nullopt;
    Endpoint endpoint{{}, PortField(number)};
    std::memcpy(endpoint.address.data(), &bytes, 4);
    return endpoint;
}

}  // namespace

std::string RunSs(const char* options) {
    const std::string command = std::string("ss -H ") + options + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string output;
    char chunk[4096];
    for (std::size_t count; (count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, count);
    return pclose(pipe) == 0 ? output : std::string();
}

std::vector<TcpRow> RowsFromSsListing(std::string_view listing) {
    std::vector<TcpRow> rows;
    std::istringstream lines{std::string(listing)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string state, receiveQueue, sendQueue, local, remote;
        if (!(fields >> state >> receiveQueue >> sendQueue >> local >> remote)) continue;
        const auto localEnd = ParseEndpoint(local);
        const auto remoteEnd = ParseEndpoint(remote);
        if (!localEnd || !remoteEnd) continue;
        rows.push_back({StateCode(state), localEnd->address, localEnd->port, remoteEnd->address,
                        remoteEnd->port});
    }
    SortIntoPlatformOrder(rows);
    return rows;
}
