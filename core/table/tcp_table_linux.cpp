#include "core/table/tcp_table_linux.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/base/file_descriptor.h"
#include "core/base/usable_cpus.h"
#include "core/table/inet_diag_request.h"
#include "core/table/linux_tcp.h"
#include "core/table/netlink_reply.h"
#include "core/table/netlink_socket.h"
#include "core/table/proc_net_tcp.h"
#include "core/table/tcp_table.h"

namespace {

// How much of a /proc file one read asks for.
constexpr std::size_t ReadSize = 64 * 1024;

std::string ErrnoText(int error) { return std::strerror(error); }

// Parts pay once the kernel's work on the sockets outweighs what each part adds to it: one more
// walk over every socket, which skips those of other parts. Below this many sockets, or on one
// CPU, the table is one walk.
constexpr std::size_t PartsFrom = 10000;
// Each part walks every socket: beyond a few, the walks outweigh what the parts share out.
constexpr unsigned MostParts = 4;
// The range the kernel picks clients' ports from when it cannot be read.
constexpr PortRange DefaultClientPorts{32768, 60999};

// Appends to the table what the kernel dumps for the request.
DumpOutcome DumpInto(NetlinkSocket& netlink, const DiagRequest& request, TcpTable& table) {
    const std::size_t rows = table.rows.size(), ports = table.moreListeningPorts.size();
    return netlink.dump(
        request,
        [&](std::span<const std::byte> payload) { return AppendInetDiagSocket(payload, table); },
        [&] {
            table.rows.resize(rows);
            table.moreListeningPorts.resize(ports);
        });
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

// What a small /proc file holds; empty when it cannot be read.
std::string WholeFile(const char* path) {
    std::string text;
    return ReadWholeFile(path, text) == 0 ? text : std::string();
}

// The TCP sockets that a sockstat file of /proc/net counts, in use or in TIME-WAIT: about the
// rows of the table.
std::size_t CountedTcpSockets(const std::string& sockstat) {
    std::istringstream lines(sockstat);
    std::size_t sockets = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string kind, name;
        std::size_t count = 0;
        words >> kind;
        if (kind != "TCP:" && kind != "TCP6:") continue;
        while (words >> name >> count)
            if (name == "inuse" || name == "tw") sockets += count;
    }
    return sockets;
}

// One part a CPU, up to the bound; one dump on one CPU or for a small table.
std::size_t PartCount(unsigned cpus, std::size_t sockets) {
    return cpus < 2 || sockets < PartsFrom ? 1 : std::min(cpus, MostParts);
}

// The range of ip_local_port_range, which the system picks its clients' ports from.
PortRange ClientPorts(const std::string& range) {
    unsigned first = 0, last = 0;
    if (std::sscanf(range.c_str(), "%u %u", &first, &last) != 2 || first > last || last > 65535)
        return DefaultClientPorts;
    return {static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(last)};
}

// `count` ranges that cover every port, each with an equal share of the clients' range: a
// client's connection has its higher port there, and so has a server's, whose client on another
// machine picked it from a range much like it. Ports below go with the first.
std::vector<PortRange> PortParts(std::size_t count, PortRange clients) {
    std::vector<PortRange> parts;
    const std::size_t width = clients.last - clients.first + 1u;
    std::size_t first = 0;
    for (std::size_t part = 1; part < count; ++part) {
        const std::size_t next = clients.first + width * part / count;
        if (next <= first) continue;
        parts.push_back({static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(next - 1)});
        first = next;
    }
    parts.push_back({static_cast<std::uint16_t>(first), 65535});
    return parts;
}

}  // namespace

std::optional<TcpTable> DumpInOneWalk(NetlinkSocket& netlink, std::optional<PortRange> ports) {
    TcpTable table;
    table.rows.reserve(1024);
    const DumpOutcome outcome =
        DumpInto(netlink, OneWalkRequest(LinuxTcp::ConnectionStates, ports), table);
    if (outcome.refused) return std::nullopt;
    if (!outcome.done) return TcpTable{{}, "netlink: " + outcome.failure};
    SortAndDropSocketsListedTwice(table.rows);
    return table;
}

TcpTable DumpEachFamily(NetlinkSocket& netlink, std::optional<PortRange> ports) {
    TcpTable table;
    table.rows.reserve(1024);
    for (std::uint8_t family : {AF_INET, AF_INET6}) {
        const DumpOutcome outcome =
            DumpInto(netlink, DumpRequest(family, LinuxTcp::ConnectionStates, ports), table);
        // A kernel without IPv6 has no AF_INET6 table and answers ENOENT.
        if (!outcome.done && !(family == AF_INET6 && outcome.error == ENOENT))
            return {{}, "netlink: " + outcome.failure};
    }
    SortAndDropSocketsListedTwice(table.rows);
    return table;
}

TcpTable DumpTcpTable(NetlinkSocket& netlink, std::optional<PortRange> ports) {
    std::optional<TcpTable> table = DumpInOneWalk(netlink, ports);
    return table ? std::move(*table) : DumpEachFamily(netlink, ports);
}

TcpTable DumpTcpTableInParts(const NetlinkOpener& open, std::span<const PortRange> parts) {
    if (parts.size() > 1) {
        std::vector<NetlinkSocket> sockets;
        for (std::size_t part = 0; part < parts.size(); ++part) sockets.push_back(open());
        std::vector<TcpTable> read(parts.size());
        // A part's failure, whatever it is, is no end of the program but the single dump's cue.
        const auto readPart = [&](std::size_t part) noexcept {
            try {
                read[part] = DumpTcpTable(sockets[part], parts[part]);
            } catch (const std::exception& error) {
                read[part] = {{}, error.what()};
            } catch (...) {
                read[part] = {{}, "a part of the table could not be read"};
            }
        };
        try {
            std::vector<std::jthread> others;
            for (std::size_t part = 1; part < parts.size(); ++part)
                others.emplace_back(readPart, part);
            readPart(0);
        } catch (const std::exception& error) {  // a thread that could not start
            read[0] = {{}, error.what()};
        }
        if (std::ranges::all_of(read, &TcpTable::readable)) {
            std::vector<std::vector<TcpRow>> rows;
            std::vector<NetworkPort> ports;
            for (TcpTable& part : read) {
                rows.push_back(std::move(part.rows));
                ports.insert(ports.end(), part.moreListeningPorts.begin(),
                             part.moreListeningPorts.end());
            }
            read.clear();
            return {MergedInTableOrder(rows), {}, std::move(ports)};
        }
    }
    NetlinkSocket netlink = open();
    return DumpTcpTable(netlink);
}

std::vector<PortRange> TableParts() {
    const std::size_t sockets = CountedTcpSockets(WholeFile("/proc/net/sockstat")) +
                                CountedTcpSockets(WholeFile("/proc/net/sockstat6"));
    return PortParts(PartCount(UsableCpus(), sockets),
                     ClientPorts(WholeFile("/proc/sys/net/ipv4/ip_local_port_range")));
}

TcpTable ReadNetlinkTcpTable() {
    return DumpTcpTableInParts([] { return NetlinkSocket(); }, TableParts());
}

std::optional<std::vector<Listener>> ReadNetlinkListeners() {
    NetlinkSocket netlink;
    std::vector<Listener> listeners;
    for (std::uint8_t family : {AF_INET, AF_INET6}) {
        const std::size_t kept = listeners.size();
        const DumpOutcome outcome = netlink.dump(
            DumpRequest(family, LinuxTcp::ListenState),
            [&](std::span<const std::byte> payload) {
                return AppendInetDiagSocket(payload, listeners);
            },
            [&] { listeners.resize(kept); });
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
