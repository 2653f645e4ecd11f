#include "core/table/tcp_table_linux.h"

#include <fcntl.h>
#include <linux/inet_diag.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "core/base/file_descriptor.h"
#include "core/table/linux_tcp.h"
#include "core/table/netlink_reply.h"
#include "core/table/netlink_socket.h"
#include "core/table/proc_net_tcp.h"
#include "core/table/tcp_table.h"

namespace {

// How much of a /proc file one read asks for.
constexpr std::size_t ReadSize = 64 * 1024;

std::string ErrnoText(int error) { return std::strerror(error); }

// Dumps the TCP sockets of one family in the given states (no extensions, every address and
// port) and appends what the kernel lists to `items`.
template <class Item>
DumpOutcome DumpSockets(NetlinkSocket& netlink, std::uint8_t family, std::uint32_t states,
                        std::vector<Item>& items) {
    inet_diag_req_v2 request{};
    request.sdiag_family = family;
    request.sdiag_protocol = IPPROTO_TCP;
    request.idiag_states = states;
    const std::size_t kept = items.size();
    return netlink.dump(
        std::as_bytes(std::span(&request, 1)),
        [&](std::span<const std::byte> payload) {
            return AppendInetDiagSocket(payload, family, items);
        },
        [&] { items.resize(kept); });
}

// Reads a whole /proc file, which reports no size of its own. The errno of a failure, else 0,
// taken before closing the file can change it.
int ReadWholeFile(const char* path, std::string& text) {
    const FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return errno;
    text.clear();
    std::size_t used = 0;
    for (;;) {
        text.resize(used + ReadSize);
        const ssize_t count = read(file.get(), text.data() + used, text.size() - used);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return errno;
        if (count == 0) break;
        used += static_cast<std::size_t>(count);
    }
    text.resize(used);
    return 0;
}

}  // namespace

TcpTable DumpTcpTable(NetlinkSocket& netlink) {
    TcpTable table;
    table.rows.reserve(1024);
    for (std::uint8_t family : {AF_INET, AF_INET6}) {
        const DumpOutcome outcome =
            DumpSockets(netlink, family, LinuxTcp::ConnectionStates, table.rows);
        // A kernel without IPv6 has no AF_INET6 table and answers ENOENT.
        if (!outcome.done && !(family == AF_INET6 && outcome.error == ENOENT))
            return {{}, "netlink: " + outcome.failure};
    }
    SortAndDropSocketsListedTwice(table.rows);
    return table;
}

TcpTable ReadNetlinkTcpTable() {
    NetlinkSocket netlink;
    return DumpTcpTable(netlink);
}

std::optional<std::vector<Listener>> ReadNetlinkListeners() {
    NetlinkSocket netlink;
    std::vector<Listener> listeners;
    for (std::uint8_t family : {AF_INET, AF_INET6}) {
        const DumpOutcome outcome = DumpSockets(netlink, family, LinuxTcp::ListenState, listeners);
        if (!outcome.done && !(family == AF_INET6 && outcome.error == ENOENT)) return std::nullopt;
    }
    return listeners;
}

TcpTable ReadProcTcpTable() {
    TcpTable table;
    std::string text;
    if (const int error = ReadWholeFile("/proc/net/tcp", text))
        return {{}, "/proc/net/tcp: " + ErrnoText(error)};
    ParseProcNetTcp(text, ProcTcpFile::Tcp, table.rows);
    // A kernel without IPv6 has no tcp6 file.
    if (const int error = ReadWholeFile("/proc/net/tcp6", text); error == 0)
        ParseProcNetTcp(text, ProcTcpFile::Tcp6, table.rows);
    else if (error != ENOENT)
        return {{}, "/proc/net/tcp6: " + ErrnoText(error)};
    SortAndDropSocketsListedTwice(table.rows);
    return table;
}

TcpTable GetTcpTable() {
    TcpTable netlink = ReadNetlinkTcpTable();
    if (netlink.readable()) return netlink;
    TcpTable proc = ReadProcTcpTable();
    if (proc.readable()) return proc;
    return {{}, netlink.failure + "; " + proc.failure};
}
