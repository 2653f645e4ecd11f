#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// A part of the table, read by a dump of its own: the sockets whose higher port lies between
// first and last, both included. Each socket has exactly one higher port, most often the one a
// client's system chose for the connection: a server's sockets share their local port but not
// their remote ones, so ranges of it share out a server's connections as well as a client's.
struct PortRange {
    std::uint16_t first = 0;
    std::uint16_t last = 65535;
};

// A request of a dump: its netlink message type, which the kernel's answers carry too, and its
// payload.
struct DiagRequest {
    std::uint16_t type;
    std::vector<std::byte> payload;
};

// An inet_diag dump request (SOCK_DIAG_BY_FAMILY) for the TCP sockets of `family` in the given
// states, every address and port; with a range, followed by a filter (INET_DIAG_REQ_BYTECODE)
// that keeps only the sockets of that range.
DiagRequest DumpRequest(std::uint8_t family, std::uint32_t states,
                        std::optional<PortRange> ports = std::nullopt);

// The same for the TCP sockets of both families in one walk of the kernel's table: the older
// TCPDIAG_GETSOCK request, which the kernel dumps with the family AF_UNSPEC.
DiagRequest OneWalkRequest(std::uint32_t states, std::optional<PortRange> ports = std::nullopt);
