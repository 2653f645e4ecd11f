#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/base/file_descriptor.h"
#include "core/table/inet_diag_request.h"
#include "core/table/netlink_reply.h"

struct DumpOutcome {
    bool done = false;
    int error = 0;         // the errno the kernel or the socket failed with; 0 for other failures
    std::string failure;   // why the dump failed; empty when it is done
    bool refused = false;  // the kernel answered the request with an error, dumping nothing
};

// A NETLINK_SOCK_DIAG socket, as iproute2's libnetlink keeps one: its descriptor, its port id
// and the sequence number of its last request. One thread at a time dumps on it.
class NetlinkSocket {
public:
    // Opens a socket bound to a port id that the kernel picks. One that cannot be opened fails
    // every dump, with the reason.
    NetlinkSocket();
    // Takes over `descriptor`, on which the kernel's answers carry `portId`: in a test, one end
    // of a socket pair whose other end plays the kernel.
    NetlinkSocket(int descriptor, std::uint32_t portId);

    // The port id that the kernel's answers to this socket carry.
    std::uint32_t portId() const { return portId_; }

    // How long a dump waits for the next part of its answer before it fails: the kernel builds
    // each part as the one before is taken, so silence means the end was lost.
    void setReplyTimeout(std::chrono::milliseconds timeout);

    // Asks for the dump and hands the payload of each socket's message of the answer to
    // onPayload, in order. A dump that the kernel marks as
    // interrupted (the table changed while it was read) is read to its end and asked again, a
    // few times at most, once `restart` has dropped what the interrupted one gave. A dump that
    // fails midway may leave the rest of its answer queued: the socket is then of no further use.
    DumpOutcome dump(const DiagRequest& request, const DumpPayloadHandler& onPayload,
                     const std::function<void()>& restart);

    // Asks for one socket with `request` as payload (SOCK_DIAG_BY_FAMILY, not a dump) and hands
    // the payload of the answer to onPayload; the kernel answers ENOENT when it has no such
    // socket.
    DumpOutcome ask(std::span<const std::byte> request, const DumpPayloadHandler& onPayload);

private:
    // Sends the request, as a dump or not, and reads the answer to its end.
    DumpOutcome exchange(std::uint16_t type, std::span<const std::byte> request, bool dump,
                         const DumpPayloadHandler& onPayload, bool& interrupted);

    FileDescriptor descriptor_;
    std::uint32_t portId_;
    std::uint32_t sequence_ = 0;
    int openError_ = 0;
    std::vector<std::byte> buffer_;
};
