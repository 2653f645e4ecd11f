#include "core/table/netlink_reply.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "core/table/linux_tcp.h"

namespace {

// Copies a kernel structure out of the datagram; the caller has checked that it fits. The
// bytes may sit at any alignment.
template <class T>
T Read(std::span<const std::byte> bytes) {
    T value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

constexpr std::size_t Aligned(std::size_t length) {
    return (length + NLMSG_ALIGNTO - 1) & ~std::size_t{NLMSG_ALIGNTO - 1};
}

DatagramResult Failed(std::string why, int kernelError = 0) {
    return {DumpStatus::Failed, false, kernelError, std::move(why)};
}

// The kernel reports errors as negative errno values.
DatagramResult KernelRefused(int negativeErrno) {
    if (negativeErrno < 0 && negativeErrno > -4096)
        return Failed(std::strerror(-negativeErrno), -negativeErrno);
    return Failed("netlink error " + std::to_string(negativeErrno));
}

NetworkPort Port(const __be16& port) {
    NetworkPort field;
    std::memcpy(field.data(), &port, sizeof port);  // already in network order
    return field;
}

LinuxTcp::Ipv6Address Address(const __be32 (&words)[4]) {
    LinuxTcp::Ipv6Address address;
    std::memcpy(address.data(), words, address.size());  // already in network order
    return address;
}

// The value of the first attribute of that type among a message's attributes; nothing when it
// has none, or none that fits.
std::optional<std::span<const std::byte>> Attribute(std::span<const std::byte> attributes,
                                                    unsigned short type) {
    while (attributes.size() >= sizeof(rtattr)) {
        const auto attribute = Read<rtattr>(attributes);
        if (attribute.rta_len < RTA_LENGTH(0) || attribute.rta_len > attributes.size()) break;
        if (attribute.rta_type == type)
            return attributes.subspan(RTA_LENGTH(0), attribute.rta_len - RTA_LENGTH(0));
        attributes = attributes.subspan(
            std::min<std::size_t>(RTA_ALIGN(attribute.rta_len), attributes.size()));
    }
    return std::nullopt;
}

// The attributes that follow a socket's message.
std::span<const std::byte> AttributesOf(std::span<const std::byte> payload) {
    return payload.subspan(std::min(Aligned(sizeof(inet_diag_msg)), payload.size()));
}

// Whether an IPv6 socket is on [::] and takes IPv4 clients too: not IPv6-only
// (INET_DIAG_SKV6ONLY, which the kernel gives every IPv6 socket; unsaid, it counts as not).
bool TakesIpv4OnAnyAddress(std::span<const std::byte> payload) {
    if (Address(Read<inet_diag_msg>(payload).id.idiag_src) != LinuxTcp::Ipv6Address{}) return false;
    const auto ipv6Only = Attribute(AttributesOf(payload), INET_DIAG_SKV6ONLY);
    return !ipv6Only || ipv6Only->empty() || (*ipv6Only)[0] == std::byte{0};
}

}  // namespace

bool AppendInetDiagSocket(std::span<const std::byte> payload, TcpTable& table) {
    if (payload.size() < sizeof(inet_diag_msg)) return false;
    const auto socket = Read<inet_diag_msg>(payload);
    const bool ipv6 = socket.idiag_family == AF_INET6;
    if (!ipv6 && socket.idiag_family != AF_INET) return false;
    const auto row =
        LinuxTcp::RowOf({socket.idiag_state, Address(socket.id.idiag_src),
                         Address(socket.id.idiag_dst), Port(socket.id.idiag_sport),
                         Port(socket.id.idiag_dport), socket.idiag_inode, socket.idiag_uid},
                        ipv6);
    if (row)
        table.rows.push_back(*row);
    else if (ipv6 && socket.idiag_state == LinuxTcp::Listen && TakesIpv4OnAnyAddress(payload))
        table.moreListeningPorts.push_back(Port(socket.id.idiag_sport));
    return true;
}

bool AppendInetDiagSocket(std::span<const std::byte> payload, std::vector<Listener>& listeners) {
    if (payload.size() < sizeof(inet_diag_msg)) return false;
    const auto socket = Read<inet_diag_msg>(payload);
    if (socket.idiag_family != AF_INET && socket.idiag_family != AF_INET6) return false;
    Listener listener{{}, Port(socket.id.idiag_sport), socket.idiag_inode, false};
    const LinuxTcp::Ipv6Address local = Address(socket.id.idiag_src);
    if (socket.idiag_family == AF_INET) {
        std::copy_n(local.begin(), 4, listener.address.begin());
    } else if (const auto mapped = LinuxTcp::MappedIpv4(local)) {
        listener.address = *mapped;
    } else {
        if (!TakesIpv4OnAnyAddress(payload)) return true;
        listener.dualStack = true;
    }
    listeners.push_back(listener);
    return true;
}

DatagramResult ReadDumpDatagram(std::span<const std::byte> datagram, const DumpIdentity& identity,
                                const DumpPayloadHandler& onPayload) {
    if (datagram.empty()) return Failed("empty netlink reply");
    DatagramResult result;
    for (auto rest = datagram; !rest.empty();) {
        if (rest.size() < sizeof(nlmsghdr)) return Failed("netlink message cut short");
        const auto header = Read<nlmsghdr>(rest);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > rest.size())
            return Failed("netlink message length out of bounds");
        const auto payload = rest.subspan(sizeof(nlmsghdr), header.nlmsg_len - sizeof(nlmsghdr));
        rest = rest.subspan(std::min(Aligned(header.nlmsg_len), rest.size()));

        if (header.nlmsg_seq != identity.sequence || header.nlmsg_pid != identity.portId)
            continue;  // left over from another request
        // The dump goes on to its end all the same, so it is read to the end before it is asked
        // again.
        if (header.nlmsg_flags & NLM_F_DUMP_INTR) result.interrupted = true;
        switch (header.nlmsg_type) {
            case NLMSG_NOOP: continue;
            case NLMSG_DONE:
                // A dump that broke off in the kernel ends with a negative errno here.
                if (payload.size() >= sizeof(int) && Read<int>(payload) < 0)
                    return KernelRefused(Read<int>(payload));
                result.status = DumpStatus::Done;
                return result;
            case NLMSG_ERROR:
                if (payload.size() < sizeof(int)) return Failed("netlink error message cut short");
                if (Read<int>(payload) == 0) return Failed("unexpected netlink acknowledgement");
                result = KernelRefused(Read<int>(payload));
                result.refused = true;
                return result;
            default:
                if (header.nlmsg_type != identity.type)
                    return Failed("unexpected netlink message type " +
                                  std::to_string(header.nlmsg_type));
                if (!onPayload(payload)) return Failed("malformed inet_diag message");
        }
    }
    return result;
}

std::optional<DiagnosedSocket> ReadDiagnosedSocket(std::span<const std::byte> payload) {
    if (payload.size() < sizeof(inet_diag_msg)) return std::nullopt;
    const auto socket = Read<inet_diag_msg>(payload);
    DiagnosedSocket diagnosed{socket.idiag_state, socket.idiag_inode, socket.idiag_rqueue,
                              socket.idiag_wqueue, std::nullopt};
    const auto info = Attribute(AttributesOf(payload), INET_DIAG_INFO);
    if (!info || info->size() < offsetof(tcp_info, tcpi_bytes_retrans) + sizeof(__u64))
        return diagnosed;
    tcp_info tcp{};
    std::memcpy(&tcp, info->data(), std::min(info->size(), sizeof tcp));
    diagnosed.counters = DiagnosedSocket::Counters{tcp.tcpi_bytes_acked,
                                                   tcp.tcpi_bytes_received,
                                                   tcp.tcpi_bytes_sent,
                                                   tcp.tcpi_bytes_retrans,
                                                   tcp.tcpi_last_data_sent,
                                                   tcp.tcpi_last_data_recv,
                                                   tcp.tcpi_rtt};
    return diagnosed;
}
