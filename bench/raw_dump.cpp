#include "bench/raw_dump.h"

#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/base/file_descriptor.h"
#include "core/table/inet_diag_request.h"
#include "core/table/linux_tcp.h"

namespace {

// The messages of one dump, or -1 when it failed; no header is checked beyond its type.
long CountOneDump(int socket, const DiagRequest& request) {
    nlmsghdr header{};
    header.nlmsg_len = NLMSG_LENGTH(request.payload.size());
    header.nlmsg_type = request.type;
    header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    header.nlmsg_seq = 1;
    std::vector<std::byte> message(NLMSG_HDRLEN);
    std::memcpy(message.data(), &header, sizeof header);
    message.insert(message.end(), request.payload.begin(), request.payload.end());
    if (send(socket, message.data(), message.size(), 0) < 0) return -1;
    static std::vector<char> buffer(64 * 1024);
    for (long count = 0;;) {
        const ssize_t received = recv(socket, buffer.data(), buffer.size(), 0);
        if (received <= 0) return -1;
        int left = static_cast<int>(received);
        for (auto* at = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(at, left);
             at = NLMSG_NEXT(at, left)) {
            if (at->nlmsg_type == NLMSG_DONE) return count;
            if (at->nlmsg_type == NLMSG_ERROR) return -1;
            ++count;
        }
    }
}

}  // namespace

std::size_t CountDumpedSockets(bool oneWalk) {
    const FileDescriptor socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    const int bufferSize = 1 << 20;  // as the snapshot's sockets have
    setsockopt(socket.get(), SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
    constexpr std::uint32_t states = LinuxTcp::ConnectionStates;
    if (oneWalk) return std::max(CountOneDump(socket.get(), OneWalkRequest(states)), 0L);
    const long ipv4 = CountOneDump(socket.get(), DumpRequest(AF_INET, states));
    const long ipv6 = CountOneDump(socket.get(), DumpRequest(AF_INET6, states));
    return ipv4 < 0 ? 0 : static_cast<std::size_t>(ipv4 + std::max(ipv6, 0L));
}
