#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// An IPv4 address as its four octets, first octet first (network order), and a port as its two
// bytes, most significant first: compared byte by byte, both order as the numbers they encode.
using Ipv4Address = std::array<std::uint8_t, 4>;
using NetworkPort = std::array<std::uint8_t, 2>;

// One connection: its state, its two ends, and the key to who holds it.
struct TcpRow {
    std::uint8_t state = 0;  // a TcpState code, 1 to 12; 0 when unknown
    Ipv4Address localAddress{};
    NetworkPort localPort{};
    Ipv4Address remoteAddress{};
    NetworkPort remotePort{};
    // The key that finds the holder of the connection's socket, as the platform's table gives
    // it; no part of the connection's identity. Linux: the socket's inode (and `uid` its user).
    // Windows, where a socket has no number of its own: the owning process's ID. 0 when no
    // process holds the socket: it is closing (or still waits in its listener's queue to be
    // accepted). Two rows with different keys, both known, are held by different sockets.
    std::uint32_t holderKey = 0;
    std::uint32_t uid = 0;

    // Any order, for keeping rows as keys; the table's own is TableOrder.
    auto operator<=>(const TcpRow&) const = default;
};

// A listening socket that takes IPv4 clients, as the owners of connections still in its queue
// are found through it.
struct Listener {
    Ipv4Address address;  // 0.0.0.0 for any address
    NetworkPort port;
    std::uint32_t inode;
    bool dualStack;  // an IPv6 socket on [::]
};

// What names a connection: its four address and port fields, in table order.
struct ConnectionFields {
    Ipv4Address localAddress;
    NetworkPort localPort;
    Ipv4Address remoteAddress;
    NetworkPort remotePort;

    auto operator<=>(const ConnectionFields&) const = default;
};

// What one refresh keeps of a hidden row for the next: its fields and its holder key, 16 bytes.
struct ConnectionKey {
    ConnectionFields fields;
    std::uint32_t holderKey;
};

ConnectionFields FieldsOf(const TcpRow& row);
ConnectionKey KeyOf(const TcpRow& row);

// One snapshot of the connection table, with no row limit.
struct TcpTable {
    std::vector<TcpRow> rows;
    std::string failure;  // why the table could not be read; empty when it was read
    // The ports of listeners that take IPv4 clients but are no rows: IPv6 sockets on [::].
    std::vector<NetworkPort> moreListeningPorts{};

    bool readable() const { return failure.empty(); }
};

// The state codes, in Windows' numbering (MIB_TCP_STATE), which the Linux table is mapped onto.
namespace TcpState {
inline constexpr std::uint8_t Closed = 1, Listen = 2, SynSent = 3, SynReceived = 4, Established = 5,
                              FinWait1 = 6, FinWait2 = 7, CloseWait = 8, Closing = 9, LastAck = 10,
                              TimeWait = 11, DeleteTcb = 12;
}

// Field builders from host-order numbers; the address's most significant byte is its first octet.
Ipv4Address AddressField(std::uint32_t hostOrderAddress);
NetworkPort PortField(std::uint16_t port);
// The host-order number of a port field.
std::uint16_t PortNumber(const NetworkPort& port);

// True when a sorts before b in table order, the order in which Windows' GetTcpTable lists
// connections and the Linux table is put: local address, local port, remote address, remote
// port, each ascending as an unsigned number.
bool TableOrder(const TcpRow& a, const TcpRow& b);

// True when the two rows name the same connection (the same four address and port fields).
bool SameConnection(const TcpRow& a, const TcpRow& b);

// For each row of `current`, whether its connection is new: its four fields are absent from the
// previous snapshot, or were held there only by other sockets (both holder keys known and
// different). Both are in table order, so one pass over each finds them.
std::vector<bool> NewConnections(std::span<const ConnectionKey> previous,
                                 const std::vector<TcpRow>& current);

// Sorts rows into table order, keeping every row: for a table that lists each socket
// once.
void SortIntoTableOrder(std::vector<TcpRow>& rows);

// The rows of tables each in table order, merged into table order. Rows from different tables
// name different connections.
std::vector<TcpRow> MergedInTableOrder(std::span<const std::vector<TcpRow>> tables);

// Sorts rows into table order and drops the repeats of a socket that a dump listed
// twice: the same fields and holder key, or for a row without one the same row. Two sockets on
// the same fields (listeners sharing a port) stay two rows.
void SortAndDropSocketsListedTwice(std::vector<TcpRow>& rows);
