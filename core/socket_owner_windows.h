#pragma once

#include <functional>

#include "socket_owner.h"
#include "tcp_table_windows.h"  // the IP Helper types, with winsock2.h first

// The shape of the IP Helper call GetExtendedTcpTable(table, size, sorted, AF_INET,
// TCP_TABLE_OWNER_PID_ALL, 0), so that a test can stand in for the operating system.
using OwnerTableCall = std::function<DWORD(PMIB_TCPTABLE_OWNER_PID, PDWORD, BOOL)>;

// A look that asks `call` which processes hold each connection; each process's name and user
// come from the process itself, asked during the look.
OwnerLookup OwnerLookupFrom(OwnerTableCall call);
