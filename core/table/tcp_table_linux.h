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

// From inet_diag dumps of the IPv4 and IPv6 TCP sockets, in the parts of TableParts.
TcpTable ReadNetlinkTcpTable();

// The parts the table is read in now: one for each CPU this thread may run on (four at most)
// where the kernel counts enough TCP sockets for parts to pay; else one.
std::vector<PortRange> TableParts();

// The sockets of `ports` (without, all) on the given socket, with the ports of the listeners on
// [::] that take IPv4 clients: DumpInOneWalk, or where the kernel refuses it, DumpEachFamily.
TcpTable DumpTcpTable(NetlinkSocket& netlink, std::optional<PortRange> ports = std::nullopt);
// Both families in one walk of the kernel's table; nothing where the kernel refuses the request,
// which then has dumped nothing.
std::optional<TcpTable> DumpInOneWalk(NetlinkSocket& netlink,
                                      std::optional<PortRange> ports = std::nullopt);
// One dump of each family, each a walk of every socket.
TcpTable DumpEachFamily(NetlinkSocket& netlink, std::optional<PortRange> ports = std::nullopt);

// Opens the socket of a dump: the kernel's in the program, one end of a socket pair in a test.
using NetlinkOpener = std::function<NetlinkSocket()>;

// The table read in parts, one per range (the ranges cover every port once), at once: each
// dumped on a socket of its own and parsed on a thread of its own, then merged into table order.
// Where a part fails (a kernel that refuses the filter), the table is read again whole. The
// sockets are opened in the order of the parts, and then the whole read's.
TcpTable DumpTcpTableInParts(const NetlinkOpener& open, std::span<const PortRange> parts);

// From /proc/net/tcp and /proc/net/tcp6.
TcpTable ReadProcTcpTable();

// The listening sockets that take IPv4 clients, from inet_diag dumps of each family; nothing
// where netlink refuses.
std::optional<std::vector<Listener>> ReadNetlinkListeners();
