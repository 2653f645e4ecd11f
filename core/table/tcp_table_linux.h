#pragma once

#include <optional>
#include <vector>

#include "core/table/netlink_reply.h"
#include "core/table/netlink_socket.h"
#include "core/table/tcp_row.h"

// The two Linux sources of the connection table, each sorted into table order.
// GetTcpTable uses the first and falls back on the second.

// From inet_diag dumps of the IPv4 and IPv6 TCP sockets, on a socket of its own.
TcpTable ReadNetlinkTcpTable();

// The same on the given socket.
TcpTable DumpTcpTable(NetlinkSocket& netlink);

// From /proc/net/tcp and /proc/net/tcp6.
TcpTable ReadProcTcpTable();

// The listening sockets that take IPv4 clients, from inet_diag dumps; nothing where netlink
// refuses.
std::optional<std::vector<Listener>> ReadNetlinkListeners();
