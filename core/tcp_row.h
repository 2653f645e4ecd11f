#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <string>
#include <vector>

// Four raw bytes exactly as the platform lays them out: an address in network order, or a port
// whose first two bytes are the port in network order and whose last two are never read.
using RawField = std::array<std::uint8_t, 4>;

// One connection: its state, its two ends, and the socket that holds it.
struct TcpRow {
    std::int32_t state = 0;  // platform state code, 1 to 12; 0 when unknown
    RawField localAddress{};
    RawField localPort{};
    RawField remoteAddress{};
    RawField remotePort{};
    // Who holds the socket, where the table tells it (Linux); no part of the connection's
    // identity. The inode is 0 when no process holds the socket: it is closing (or still
    // waits in its listener's queue to be accepted).
    std::uint32_t inode = 0;
    std::uint32_t uid = 0;

    bool operator==(const TcpRow&) const = default;
};

// What names a connection: its four address and port fields, ordered as the platform sorts
// (bytes in storage order compare as the unsigned numbers they encode; a port's last two bytes
// never count).
struct ConnectionFields {
    RawField localAddress;
    std::array<std::uint8_t, 2> localPort;
    RawField remoteAddress;
    std::array<std::uint8_t, 2> remotePort;

    auto operator<=>(const ConnectionFields&) const = default;
};

// What one refresh keeps of each row for the next: its fields and its socket, 16 bytes.
struct ConnectionKey {
    ConnectionFields fields;
    std::uint32_t inode;
};

ConnectionFields FieldsOf(const TcpRow& row);
ConnectionKey KeyOf(const TcpRow& row);

// One snapshot of the connection table, with no row limit.
struct TcpTable {
    std::vector<TcpRow> rows;
    std::string failure;  // why the table could not be read; empty when it was read

    bool readable() const { return failure.empty(); }
};

// Platform state codes.
namespace TcpState {
inline constexpr std::int32_t Closed = 1, Listen = 2, SynSent = 3, SynReceived = 4, Established = 5,
                              FinWait1 = 6, FinWait2 = 7, CloseWait = 8, Closing = 9, LastAck = 10,
                              TimeWait = 11, DeleteTcb = 12;
}

// The platform state code of a Linux TCP state number (include/net/tcp_states.h); 0 for any
// state the platform has no code for.
std::int32_t StateCodeFromLinux(unsigned linuxState);

// Field builders from host-order numbers; the address's most significant byte is its first octet.
RawField AddressField(std::uint32_t hostOrderAddress);
RawField PortField(std::uint16_t port);

// True when a sorts before b in the platform's order: local address, local port, remote
// address, remote port, each ascending as an unsigned number.
bool PlatformOrder(const TcpRow& a, const TcpRow& b);

// True when the two rows name the same connection (the same four address and port fields).
bool SameConnection(const TcpRow& a, const TcpRow& b);

// For each row of `current`, whether its connection is new: its four fields are absent from
// `previous`, or were held there only by other sockets (both inodes known and different). Both
// are in the platform's order, so one pass over each finds them.
std::vector<bool> NewConnections(const std::vector<ConnectionKey>& previous,
                                 const std::vector<TcpRow>& current);

// Sorts rows into the platform's order, keeping every row: for a table that lists each socket
// once.
void SortIntoPlatformOrder(std::vector<TcpRow>& rows);

// Sorts rows into the platform's order and drops the repeats of a socket that a dump listed
// twice: the same fields and inode, or for a socket without inode the same row. Two sockets on
// the same fields (listeners sharing a port) stay two rows.
void SortAndDropSocketsListedTwice(std::vector<TcpRow>& rows);
