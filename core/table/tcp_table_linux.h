#pragma once

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "core/table/inet_diag_request.h"
#include "core/table/netlink_reply.h"
#include "core/table/netlink_socket.h"
#include "core/table/tcp_row.h"

// The two Linux sources of the connection table, each sorted into table order.
// GetTcpTable uses the first and falls back on the second.

// From inet_diag dumps of the IPv4 and IPv6 TCP sockets: in parts read at once, one per core,
// where the table is large enough for them to pay; else as one dump.
TcpTable ReadNetlinkTcpTable();

// One dump of each family on the given socket, of the sockets of `ports` (without, of all).
TcpTable DumpTcpTable(NetlinkSocket& netlink, std::optional<PortRange> ports = std::nullopt);

// Opens the socket of a dump: the kernel's in the program, one end of a socket pair in a test.
using NetlinkOpener = std::function<NetlinkSocket()>;

// The table read in parts, one per range (the ranges cover every port once), at once: each
// dumped on a socket of its own and parsed on a thread of its own, then merged into table order.
// Where a part fails (a kernel that refuses the filter), the table is read again as one dump. The
// sockets are opened in the order of the parts, and then the single dump's.
TcpTable DumpTcpTableInParts(const NetlinkOpener& open, std::span<const PortRange> parts);

// From /proc/net/tcp and /proc/net/tcp6.
TcpTable ReadProcTcpTable();

// The listening sockets that take IPv4 clients, from inet_diag dumps; nothing where netlink
// refuses.
std::optional<std::vector<Listener>> ReadNetlinkListeners();
