#include "core/linux_tcp.h"

#include <algorithm>

namespace LinuxTcp {

std::optional<TcpRow> RowOf(const Socket& socket, bool fromIpv6Table) {
    if (socket.state >= BoundInactive) return std::nullopt;
    TcpRow row;
    row.state = StateCodeFromLinux(socket.state);
    row.localPort = socket.localPort;
    row.remotePort = socket.remotePort;
    row.socket = socket.inode;
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
