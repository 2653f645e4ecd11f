#include "core/table/netlink_socket.h"

#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Where the answer to one request starts; it grows to the largest datagram received. The
// kernel builds a dump's datagrams to at most 32 KiB.
constexpr std::size_t FirstBufferSize = 32 * 1024;
// Room for the kernel to build the next part of the dump while we read this one.
constexpr int SocketBufferSize = 1 << 20;
constexpr std::chrono::milliseconds DefaultReplyTimeout{2000};
constexpr int DumpAttempts = 3;

DumpOutcome Failure(int error) { return {false, error, std::strerror(error)}; }

}  // namespace

NetlinkSocket::NetlinkSocket()
    : NetlinkSocket(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_SOCK_DIAG), 0) {
    if (openError_ != 0) return;
    sockaddr_nl self{};
    self.nl_family = AF_NETLINK;  // port id 0: the kernel picks one
    socklen_t selfLength = sizeof self;
    if (bind(descriptor_.get(), reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
        getsockname(descriptor_.get(), reinterpret_cast<sockaddr*>(&self), &selfLength) != 0) {
        openError_ = errno;
        return;
    }
    portId_ = self.nl_pid;
    setsockopt(descriptor_.get(), SOL_SOCKET, SO_RCVBUF, &SocketBufferSize,
               sizeof SocketBufferSize);
}

NetlinkSocket::NetlinkSocket(int descriptor, std::uint32_t portId)
    : descriptor_(descriptor),
      portId_(portId),
      openError_(descriptor < 0 ? errno : 0),  // that of socket(), when it failed
      buffer_(FirstBufferSize) {
    if (openError_ == 0) setReplyTimeout(DefaultReplyTimeout);
}

void NetlinkSocket::setReplyTimeout(std::chrono::milliseconds timeout) {
    const timeval wait{static_cast<time_t>(timeout.count() / 1000),
                       static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
    setsockopt(descriptor_.get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
}

DumpOutcome NetlinkSocket::dump(const DiagRequest& request, const DumpPayloadHandler& onPayload,
                                const std::function<void()>& restart) {
    if (openError_ != 0) return Failure(openError_);
    for (int attempt = 1;; ++attempt) {
        bool interrupted = false;
        DumpOutcome outcome = exchange(request.type, request.payload, true, onPayload, interrupted);
        if (!outcome.done || !interrupted) return outcome;
        if (attempt == DumpAttempts) return {false, 0, "the table kept changing during the dump"};
        restart();
    }
}

DumpOutcome NetlinkSocket::ask(std::span<const std::byte> request,
                               const DumpPayloadHandler& onPayload) {
    if (openError_ != 0) return Failure(openError_);
    bool interrupted = false;
    return exchange(SOCK_DIAG_BY_FAMILY, request, false, onPayload, interrupted);
}

DumpOutcome NetlinkSocket::exchange(std::uint16_t type, std::span<const std::byte> request,
                                    bool dump, const DumpPayloadHandler& onPayload,
                                    bool& interrupted) {
    const DumpIdentity identity{++sequence_, portId_, type};
    nlmsghdr header{};
    header.nlmsg_len = NLMSG_LENGTH(request.size());
    header.nlmsg_type = type;
    header.nlmsg_flags = dump ? NLM_F_REQUEST | NLM_F_DUMP : NLM_F_REQUEST;
    header.nlmsg_seq = identity.sequence;
    iovec parts[] = {{&header, sizeof header},
                     {const_cast<std::byte*>(request.data()), request.size()}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = 2;
    ssize_t sent;
    do {
        sent = sendmsg(descriptor_.get(), &message, 0);  // unconnected, it sends to the kernel
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) return Failure(errno);

    // The answer to a request that is no dump is one message, with no end of its own.
    bool answered = false;
    const DumpPayloadHandler noting = [&](std::span<const std::byte> payload) {
        answered = true;
        return onPayload(payload);
    };
    const DumpPayloadHandler& handler = dump ? onPayload : noting;
    for (;;) {
        // A peek with MSG_TRUNC tells the length of the next datagram and leaves it queued, so
        // that the buffer can grow to take it whole.
        iovec nothing{nullptr, 0};
        msghdr peek{};
        peek.msg_iov = &nothing;
        peek.msg_iovlen = 1;
        const ssize_t length = recvmsg(descriptor_.get(), &peek, MSG_PEEK | MSG_TRUNC);
        if (length < 0 && errno == EINTR) continue;
        if (length < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return {false, errno, "the dump did not end"};
        if (length < 0) return Failure(errno);
        buffer_.resize(std::max(buffer_.size(), static_cast<std::size_t>(length)));

        sockaddr_nl sender{};
        iovec whole{buffer_.data(), buffer_.size()};
        message = {};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &whole;
        message.msg_iovlen = 1;
        const ssize_t received = recvmsg(descriptor_.get(), &message, 0);
        if (received < 0 && errno == EINTR) continue;
        if (received < 0) return Failure(errno);
        if (message.msg_flags & MSG_TRUNC) return {false, 0, "reply truncated"};
        // Only the kernel (port id 0) answers; a socket pair names no sender.
        if (message.msg_namelen == sizeof sender && sender.nl_pid != 0) continue;
        const DatagramResult result = ReadDumpDatagram(
            std::span(buffer_.data(), static_cast<std::size_t>(received)), identity, handler);
        interrupted = interrupted || result.interrupted;
        if (result.status == DumpStatus::Failed)
            return {false, result.kernelError, result.failure, result.refused};
        if (result.status == DumpStatus::Done || (answered && !dump)) return {true, 0, {}};
    }
}
