// Input: one byte choosing the family, the dump's sequence number and port id (4 bytes each,
// as the machine stores them), then one datagram as the kernel would send it.
#include <sys/socket.h>

#include <cstring>

#include "core/table/netlink_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    DumpIdentity identity;
    const std::uint8_t family = (data[0] & 1) != 0 ? AF_INET6 : AF_INET;
    std::memcpy(&identity.sequence, data + 1, 4);
    std::memcpy(&identity.portId, data + 5, 4);
    std::vector<TcpRow> rows;
    const auto datagram = std::as_bytes(std::span(data + 9, size - 9));
    const DatagramResult result = ReadDumpDatagram(datagram, identity, [&](auto payload) {
        return AppendInetDiagSocket(payload, family, rows);
    });
    if (result.status == DumpStatus::Failed && result.failure.empty()) __builtin_trap();
    // A datagram cannot hold more sockets than messages of the smallest socket size fit in it.
    if (rows.size() > datagram.size() / 16) __builtin_trap();
    for (const TcpRow& row : rows) {
        if (row.state > TcpState::DeleteTcb) __builtin_trap();
    }
    // The same datagram read as a dump of listeners, with their attributes.
    std::vector<Listener> listeners;
    ReadDumpDatagram(datagram, identity, [&](auto payload) {
        return AppendInetDiagSocket(payload, family, listeners);
    });
    if (listeners.size() > datagram.size() / 16) __builtin_trap();
    // And as the answer about one socket, with its counters.
    ReadDumpDatagram(datagram, identity,
                     [&](auto payload) { return ReadDiagnosedSocket(payload).has_value(); });
    return 0;
}
