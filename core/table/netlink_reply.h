#pragma once

#include <linux/sock_diag.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/table/tcp_row.h"

// The kernel's answer to an inet_diag dump request (NETLINK_SOCK_DIAG) for TCP: each received
// datagram split into its messages, and the payload of each message read.

// What every message of one dump must carry.
struct DumpIdentity {
    std::uint32_t sequence = 0;  // the request's nlmsg_seq
    std::uint32_t portId = 0;    // our socket's port id: the kernel addresses dump replies to it
    std::uint16_t type = SOCK_DIAG_BY_FAMILY;  // the request's message type, which sockets carry
};

enum class DumpStatus { More, Done, Failed };

struct DatagramResult {
    DumpStatus status = DumpStatus::More;
    bool interrupted = false;  // the table changed while the kernel dumped it (NLM_F_DUMP_INTR)
    int kernelError = 0;       // the errno the kernel answered with, when it refused the dump
    std::string failure;       // why the dump failed; empty unless status is Failed
    bool refused = false;      // the kernel answered the request with an error, dumping nothing
};

// Takes the payload of one message of a dump; false when it is malformed, which fails the dump.
using DumpPayloadHandler = std::function<bool(std::span<const std::byte> payload)>;

// Splits one received datagram of a dump into its messages and hands the payload of each
// socket's message (of the identity's type) to onPayload. Safe on any bytes: a message that does
// not fit or is not what was asked for fails the dump; messages of another sequence or port id are
// not ours and are passed over. More means the end of the dump is still to come.
DatagramResult ReadDumpDatagram(std::span<const std::byte> datagram, const DumpIdentity& identity,
                                const DumpPayloadHandler& onPayload);

// Reads the payload of one message of a dump, of either family (each message tells its own),
// and appends to the table a row for an IPv4 socket or an IPv6 one whose two addresses are
// IPv4-mapped, or the port of a listener on [::] that takes IPv4 clients. False when the payload
// is not an IPv4 or IPv6 socket.
bool AppendInetDiagSocket(std::span<const std::byte> payload, TcpTable& table);

// The same for a dump of listening sockets: one listener for each IPv4 socket and each IPv6
// socket on an IPv4-mapped address or on [::] without IPV6_V6ONLY.
bool AppendInetDiagSocket(std::span<const std::byte> payload, std::vector<Listener>& listeners);

// One socket as the kernel tells it in a message of an inet_diag answer asked with INET_DIAG_INFO:
// its state, inode and queues, and its tcp_info's counters where the message has them whole.
struct DiagnosedSocket {
    // The counters of tcp_info that a socket's figures come from, in the kernel's units.
    struct Counters {
        std::uint64_t bytesAcked, bytesReceived, bytesSent, bytesRetransmitted;
        std::uint32_t msSinceDataSent, msSinceDataReceived, roundTripMicroseconds;
    };
    unsigned state = 0;  // include/net/tcp_states.h
    std::uint32_t inode = 0;
    std::uint32_t receiveQueue = 0, sendQueue = 0;  // a listener's: waiting, and the limit
    // None for a socket in TIME-WAIT or one waiting in a listener's queue, and from a kernel older
    // than 4.19, whose tcp_info is shorter.
    std::optional<Counters> counters;
};

// Reads one message of such an answer; nothing when the payload is malformed.
std::optional<DiagnosedSocket> ReadDiagnosedSocket(std::span<const std::byte> payload);
