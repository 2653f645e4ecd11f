#include "core/table/linux_tcp.h"

#include <algorithm>

namespace LinuxTcp {

std::uint8_t StateCode(unsigned linuxState) {
    switch (linuxState) {
        case 1: return TcpState::Established;
        case 2: return TcpState::SynSent;
        case 3: return TcpState::SynReceived;  // SYN_RECV
        case 4: return TcpState::FinWait1;
        case 5: return TcpState::FinWait2;
        case 6: return TcpState::TimeWait;
        case 7: return TcpState::Closed;
        case 8: return TcpState::CloseWait;
        case 9: return TcpState::LastAck;
        case 10: return TcpState::Listen;
        case 11: return TcpState::Closing;
        case 12: return TcpState::SynReceived;  // NEW_SYN_RECV: a request socket
        default: return 0;
    }
}

std::optional<TcpRow> RowOf(const Socket& socket, bool fromIpv6Table) {
    if (socket.state >= BoundInactive) return std::nullopt;
    TcpRow row;
    row.state = StateCode(socket.state);
    row.localPort = socket.localPort;
    row.remotePort = socket.remotePort;
    row.holderKey = socket.inode;
    row.uid = socket.uid;
    if (!fromIpv6Table) {
        std::copy_n(socket.localAddress.begin(), 4, row.localAddress.begin());
        std::copy_n(socket.remoteAddress.begin(), 4, row.remoteAddress.begin());
        return row;
    }
    const auto local = MappedIpv4(socket.localAddress);
    const auto remote = MappedIpv4(socket.remoteAddress);
    if (!local || !remote) return std::nullopt;  // a real IPv6 socket
    row.localAddress = *local;
    row.remoteAddress = *remote;
    return row;
}

}  // namespace LinuxTcp
