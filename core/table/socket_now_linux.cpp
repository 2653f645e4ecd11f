#include <linux/inet_diag.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>

#include "core/table/inet_diag_request.h"
#include "core/table/linux_tcp.h"
#include "core/table/netlink_reply.h"
#include "core/table/netlink_socket.h"
#include "core/table/socket_now.h"

namespace {

// A request for the row's own socket in the family's table, with its tcp_info. An IPv4 client of
// a dual-stack listener is in the IPv6 table, its addresses IPv4-mapped.
inet_diag_req_v2 RequestFor(const TcpRow& row, std::uint8_t family) {
    inet_diag_req_v2 request{};
    request.sdiag_family = family;
    request.sdiag_protocol = IPPROTO_TCP;
    request.idiag_ext = 1 << (INET_DIAG_INFO - 1);
    request.idiag_states = ~0u;
    const auto put = [family](__be32(&words)[4], const Ipv4Address& address) {
        auto* bytes = reinterpret_cast<std::uint8_t*>(words);
        if (family == AF_INET6) {
            bytes[10] = bytes[11] = 0xFF;
            bytes += 12;
        }
        std::ranges::copy(address, bytes);
    };
    put(request.id.idiag_src, row.localAddress);
    put(request.id.idiag_dst, row.remoteAddress);
    std::ranges::copy(row.localPort, reinterpret_cast<std::uint8_t*>(&request.id.idiag_sport));
    std::ranges::copy(row.remotePort, reinterpret_cast<std::uint8_t*>(&request.id.idiag_dport));
    request.id.idiag_cookie[0] = request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    return request;
}

// What the kernel's counters mean for the user. They count sequence numbers, and a SYN or a FIN
// takes one but is no data. The bytes acknowledged count the SYN of the side that connected and
// a FIN once acknowledged; the bytes sent count only data, each retransmission again: the data
// sent and acknowledged is the lesser of the two, without the retransmissions. A FIN received
// counts among the bytes received, in the states that follow it.
Traffic TrafficOf(unsigned state, const DiagnosedSocket::Counters& counters) {
    const std::uint64_t finReceived =
        state == LinuxTcp::CloseWait || state == LinuxTcp::LastAck || state == LinuxTcp::Closing;
    const std::uint64_t sent = counters.bytesSent;
    Traffic traffic{
        std::min(counters.bytesAcked, sent - std::min(counters.bytesRetransmitted, sent)),
        counters.bytesReceived - std::min(finReceived, counters.bytesReceived),
        std::chrono::milliseconds(std::min(counters.msSinceDataSent, counters.msSinceDataReceived)),
        std::chrono::microseconds(counters.roundTripMicroseconds)};
    if (sent == 0 && traffic.bytesReceived == 0) {
        traffic.sinceLastData.reset();
        traffic.noDataYet = true;
    }
    return traffic;
}

// The socket the kernel told of, if it is the row's own (`inode`): another socket on the same
// fields since, or none, is the row's socket gone.
SocketNow SocketNowOf(const DiagnosedSocket& socket, std::uint32_t inode) {
    if (socket.inode != inode) return {};
    SocketNow now{SocketNow::Kind::Seen, {}, {}};
    if (socket.state == LinuxTcp::Listen)
        now.queue = AcceptQueue{socket.receiveQueue, socket.sendQueue};
    else if (socket.counters)
        now.traffic = TrafficOf(socket.state, *socket.counters);
    return now;
}

bool Refused(const DumpOutcome& outcome) {
    return outcome.error == EPERM || outcome.error == EACCES;
}

// A listener: the kernel answers a question by addresses and ports with one of the listeners
// that share them (SO_REUSEPORT), so the listeners on its port are dumped and its own is found
// by its inode.
SocketNow LookAtListener(const TcpRow& row) {
    NetlinkSocket netlink;
    const std::uint16_t port = PortNumber(row.localPort);
    for (const std::uint8_t family : {AF_INET, AF_INET6}) {
        std::optional<SocketNow> now;
        const DumpOutcome outcome = netlink.dump(
            DumpRequest(family, LinuxTcp::ListenState, PortRange{port, port}),
            [&](auto payload) {
                const std::optional<DiagnosedSocket> socket = ReadDiagnosedSocket(payload);
                if (socket && socket->inode == row.holderKey)
                    now = SocketNowOf(*socket, row.holderKey);
                return socket.has_value();
            },
            [&] { now.reset(); });
        if (now) return *now;
        if (Refused(outcome)) return {SocketNow::Kind::Refused, {}, {}};
        if (!outcome.done && !(family == AF_INET6 && outcome.error == ENOENT)) break;
    }
    return {};
}

SocketNow LookAtSocketNow(const TcpRow& row) {
    if (row.state == TcpState::Listen) return LookAtListener(row);
    NetlinkSocket netlink;
    for (const std::uint8_t family : {AF_INET, AF_INET6}) {
        const inet_diag_req_v2 request = RequestFor(row, family);
        std::optional<DiagnosedSocket> socket;
        const DumpOutcome outcome =
            netlink.ask(std::as_bytes(std::span(&request, 1)), [&](auto payload) {
                socket = ReadDiagnosedSocket(payload);
                return socket.has_value();
            });
        if (outcome.done && socket) return SocketNowOf(*socket, row.holderKey);
        if (Refused(outcome)) return {SocketNow::Kind::Refused, {}, {}};
        if (outcome.error != ENOENT) break;  // nothing to tell, rather than a guess
    }
    return {};
}

}  // namespace

SocketLookup SystemSocketLookup() { return &LookAtSocketNow; }
