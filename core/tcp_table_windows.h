#pragma once

#include <functional>

#include "core/ip_helper.h"
#include "core/tcp_row.h"

// The shape of the IP Helper call GetTcpTable(table, size, sorted), so that a test can stand in
// for the operating system.
using TcpTableCall = std::function<DWORD(PMIB_TCPTABLE, PULONG, BOOL)>;

// Asks `call` for the sorted table, growing the buffer to the size the call names for as long as
// the table does not fit (it can grow between two calls), a bounded number of times.
TcpTable ReadTcpTableFrom(const TcpTableCall& call);
