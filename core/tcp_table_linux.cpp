#include "core/tcp_table_linux.h"

#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "core/linux_tcp.h"
#include "core/netlink_reply.h"
#include "core/proc_net_tcp.h"
#include "core/tcp_table.h"

namespace {

// A dump reply is at most 32 KiB per datagram; a larger buffer never truncates one.
constexpr std::size_t ReceiveBufferSize = 64 * 1024;
// Room for the kernel to build the next part of the dump while we parse this one.
constexpr int SocketBufferSize = 1 << 20;
// The kernel builds each part of a dump as we receive; silence this long means the end of the
// dump was lost.
constexpr timeval ReplyTimeout = {5, 0};

std::string ErrnoText(int error) { return std::strerror(error); }

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

struct DumpOutcome {
    bool done = false;
    bool started = false;  // the request reached the kernel
    int error = 0;
    std::string failure;
};

DumpOutcome Refused(std::string why, int error) { return {false, false, error, std::move(why)}; }

struct InetDiagRequest {
    nlmsghdr header;
    inet_diag_req_v2 request;
};

InetDiagRequest DumpRequest(std::uint8_t family, std::uint32_t states, std::uint32_t sequence) {
    InetDiagRequest message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.header.nlmsg_seq = sequence;
    message.request.sdiag_family = family;
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = states;
    return message;  // no extensions, every address and port
}

// Receives datagrams until the dump ends. Only the kernel (port id 0) sends dump replies.
template <class Item>
DumpOutcome ReceiveDump(int fd, const DumpIdentity& identity, std::vector<std::byte>& buffer,
                        std::vector<Item>& rows) {
    for (;;) {
        sockaddr_nl sender{};
        iovec part{buffer.data(), buffer.size()};
        msghdr message{};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        const ssize_t received = recvmsg(fd, &message, 0);
        if (received < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return {false, true, errno, "the dump did not end"};
            return {false, true, errno, ErrnoText(errno)};
        }
        if (message.msg_flags & MSG_TRUNC) return {false, true, 0, "reply truncated"};
        if (message.msg_namelen != sizeof sender || sender.nl_family != AF_NETLINK ||
            sender.nl_pid != 0)
            continue;
        const DatagramResult result = ParseInetDiagDatagram(
            std::span(buffer.data(), static_cast<std::size_t>(received)), identity, rows);
        if (result.status == DumpStatus::Done) return {true, true, 0, {}};
        if (result.status == DumpStatus::Failed)
            return {false, true, result.kernelError, result.failure};
    }
}

// One dump of one family on a socket of its own, so that nothing left of an earlier dump can
// mix in. The look for owners dumps from another thread than the refresh.
template <class Item>
DumpOutcome DumpOnce(std::uint8_t family, std::uint32_t states, std::vector<std::byte>& buffer,
                     std::vector<Item>& rows) {
    static std::atomic<std::uint32_t> lastSequence = 0;
    const FileDescriptor socket_(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    const int fd = socket_.get();
    if (fd < 0) return Refused(ErrnoText(errno), errno);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &SocketBufferSize, sizeof SocketBufferSize);
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &ReplyTimeout, sizeof ReplyTimeout);

    sockaddr_nl self{};
    self.nl_family = AF_NETLINK;  // port id 0: the kernel picks one
    socklen_t selfLength = sizeof self;
    if (bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&self), &selfLength) != 0)
        return Refused(ErrnoText(errno), errno);

    const DumpIdentity identity{family, ++lastSequence, self.nl_pid};
    const InetDiagRequest request = DumpRequest(family, states, identity.sequence);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    ssize_t sent;
    do {
        sent = sendto(fd, &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel),
                      sizeof kernel);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(sizeof request)) return Refused(ErrnoText(errno), errno);
    return ReceiveDump(fd, identity, buffer, rows);
}

// A dump that fails midway is taken once more from the start.
template <class Item>
DumpOutcome Dump(std::uint8_t family, std::uint32_t states, std::vector<std::byte>& buffer,
                 std::vector<Item>& rows) {
    const std::size_t kept = rows.size();
    DumpOutcome outcome = DumpOnce(family, states, buffer, rows);
    if (outcome.done || !outcome.started) return outcome;
    rows.resize(kept);
    outcome = DumpOnce(family, states, buffer, rows);
    if (!outcome.done) rows.resize(kept);
    return outcome;
}

// Reads a whole /proc file, which reports no size of its own. The errno of a failure, else 0,
// taken before closing the file can change it.
int ReadWholeFile(const char* path, std::string& text) {
    const FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return errno;
    text.clear();
    std::size_t used = 0;
    for (;;) {
        text.resize(used + ReceiveBufferSize);
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

TcpTable ReadNetlinkTcpTable() {
    TcpTable table;
    table.rows.reserve(1024);
    std::vector<std::byte> buffer(ReceiveBufferSize);
    for (std::uint8_t family : {AF_INET, AF_INET6}) {
        const DumpOutcome outcome = Dump(family, LinuxTcp::ConnectionStates, buffer, table.rows);
        // A kernel without IPv6 has no AF_INET6 table and answers ENOENT.
        if (!outcome.done && !(family == AF_INET6 && outcome.error == ENOENT))
            return {{}, "netlink: " + outcome.failure};
    }
    SortAndDropSocketsListedTwice(table.rows);
    return table;
}

std::optional<std::vector<Listener>> ReadNetlinkListeners() {
    std::vector<Listener> listeners;
    std::vector<std::byte> buffer(ReceiveBufferSize);
    for (std::uint8_t family : {AF_INET, AF_INET6}) {
        const DumpOutcome outcome = Dump(family, LinuxTcp::ListenState, buffer, listeners);
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
