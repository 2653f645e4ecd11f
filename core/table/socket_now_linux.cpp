#include <linux/inet_diag.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>

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

}  // namespace

SocketNow LookAtSocketNow(const TcpRow& row) {
    NetlinkSocket netlink;
    for (const std::uint8_t family : {AF_INET, AF_INET6}) {
        const inet_diag_req_v2 request = RequestFor(row, family);
        std::optional<SocketNow> now;
        const DumpOutcome outcome =
            netlink.ask(std::as_bytes(std::span(&request, 1)), [&](auto payload) {
                now = ReadSocketNow(payload, row.holderKey);
                return now.has_value();
            });
        if (outcome.done && now) return *now;
        if (outcome.error == EPERM || outcome.error == EACCES)
            return {SocketNow::Kind::Refused, {}, {}};
        if (outcome.error != ENOENT) break;  // nothing to tell, rather than a guess
    }
    return {};
}
