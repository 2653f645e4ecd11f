#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "core/table/tcp_row.h"

// What the Linux table sources share: which kernel states count as connections, and how an
// IPv6 socket carrying IPv4 traffic becomes an IPv4 row.
namespace LinuxTcp {

// TCP_BOUND_INACTIVE: a socket that is only bound is no connection. Every state below it is.
inline constexpr unsigned BoundInactive = 13;

// The states of include/net/tcp_states.h that the figures of a socket depend on.
inline constexpr unsigned CloseWait = 8, LastAck = 9, Listen = 10, Closing = 11;

// State bits of a dump request: TCP_ESTABLISHED (1) to TCP_NEW_SYN_RECV (12).
inline constexpr std::uint32_t ConnectionStates = ((1u << BoundInactive) - 1) & ~1u;

// The state bit of a dump request for listening sockets.
inline constexpr std::uint32_t ListenState = 1u << Listen;

// The TcpState code of a Linux TCP state number (include/net/tcp_states.h); 0 for any state
// without one.
std::uint8_t StateCode(unsigned linuxState);

using Ipv6Address = std::array<std::uint8_t, 16>;

// The IPv4 address inside an IPv4-mapped IPv6 address (::ffff:a.b.c.d); nothing otherwise.
// A listener on [::] takes IPv4 clients, and the kernel lists those connections only among the
// IPv6 sockets, with both addresses mapped.
inline std::optional<Ipv4Address> MappedIpv4(const Ipv6Address& address) {
    static constexpr std::uint8_t prefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(address.data(), prefix, sizeof prefix) != 0) return std::nullopt;
    return Ipv4Address{address[12], address[13], address[14], address[15]};
}

// A socket as both sources give it; the IPv4 table's addresses sit in their first four bytes.
struct Socket {
    unsigned state;  // include/net/tcp_states.h
    Ipv6Address localAddress, remoteAddress;
    NetworkPort localPort, remotePort;
    std::uint32_t inode, uid;
};

// The row of a socket of the IPv4 table, or of the IPv6 table when both its addresses are
// IPv4-mapped; nothing for a socket only bound or a real IPv6 one.
std::optional<TcpRow> RowOf(const Socket& socket, bool fromIpv6Table);

}  // namespace LinuxTcp
