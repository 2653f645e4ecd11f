#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/tcp_row.h"

// Parsing of the kernel's answer to an inet_diag dump request (NETLINK_SOCK_DIAG) for TCP.

// What every message of one dump must carry.
struct DumpIdentity {
    std::uint8_t family = 0;     // AF_INET or AF_INET6, as asked
    std::uint32_t sequence = 0;  // the request's nlmsg_seq
    std::uint32_t portId = 0;    // our socket's port id: the kernel addresses dump replies to it
};

enum class DumpStatus { More, Done, Failed };

struct DatagramResult {
    DumpStatus status = DumpStatus::More;
    int kernelError = 0;  // the errno the kernel answered with, when it refused the dump
    std::string failure;  // why the dump failed; empty unless status is Failed
};

// Parses one received datagram of a dump and appends a row for each IPv4 socket, or, in an
// AF_INET6 dump, each socket whose two addresses are IPv4-mapped. Safe on any bytes: a message
// that does not fit or is not what was asked for fails the dump; messages of another sequence
// or port id are not ours and are passed over. More means the end of the dump is still to come.
DatagramResult ParseInetDiagDatagram(std::span<const std::byte> datagram,
                                     const DumpIdentity& identity, std::vector<TcpRow>& rows);

// A listening socket that takes IPv4 clients.
struct Listener {
    Ipv4Address address;  // 0.0.0.0 for any address
    NetworkPort port;
    std::uint32_t inode;
    bool dualStack;  // an IPv6 socket on [::]
};

// The same for a dump of listening sockets: one listener for each IPv4 socket and each IPv6
// socket on an IPv4-mapped address or on [::] without IPV6_V6ONLY.
DatagramResult ParseInetDiagDatagram(std::span<const std::byte> datagram,
                                     const DumpIdentity& identity,
                                     std::vector<Listener>& listeners);
