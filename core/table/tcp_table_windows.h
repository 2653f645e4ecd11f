#pragma once

#include <functional>

#include "core/table/ip_helper.h"
#include "core/table/tcp_row.h"

// The shape of the IP Helper call GetExtendedTcpTable(table, size, sorted, AF_INET,
// TCP_TABLE_OWNER_PID_ALL, 0), so that a test can stand in for the operating system. Its rows
// carry their owners' process IDs, so the owners explain the very snapshot shown.
using TcpTableCall = std::function<DWORD(PMIB_TCPTABLE_OWNER_PID, PDWORD, BOOL)>;

// Asks `call` for the sorted table, growing the buffer to the size the call names for as long as
// the table does not fit (it can grow between two calls), a bounded number of times.
TcpTable ReadTcpTableFrom(const TcpTableCall& call);
