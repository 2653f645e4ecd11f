#include "core/describe/service_line.h"

#include <algorithm>

#include "core/names/printable.h"

ServerPort ServerPortOf(const TcpRow& row, std::span<const NetworkPort> listeningPorts) {
    const bool local =
        row.state == TcpState::Listen || std::ranges::binary_search(listeningPorts, row.localPort);
    return {PortNumber(local ? row.localPort : row.remotePort), local};
}

std::string ServiceLine(const std::optional<std::optional<std::string>>& known, ServerPort end) {
    if (!known || !*known) return {};
    return "Service: " + Printable(**known) + (end.local ? " (local port " : " (remote port ") +
           std::to_string(end.port) + ")";
}
