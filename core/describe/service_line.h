#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/table/tcp_row.h"

// The end of a connection where its server is, whose port names the service.
struct ServerPort {
    std::uint16_t port = 0;
    bool local = false;
    bool operator==(const ServerPort&) const = default;
};

// The local port of a listening row, or of a row whose local port this machine listens on in the
// same snapshot (`listeningPorts`, sorted); otherwise the remote port.
ServerPort ServerPortOf(const TcpRow& row, std::span<const NetworkPort> listeningPorts);

// "Service: NAME (local port N)" or "Service: NAME (remote port N)"; empty while the name is
// looked up (`known` empty) and when the services database has none.
std::string ServiceLine(const std::optional<std::optional<std::string>>& known, ServerPort end);
