#pragma once

#include <functional>

#include "core/ip_helper.h"
#include "core/socket_owner.h"

// The shape of the IP Helper call GetExtendedTcpTable(table, size, sorted, AF_INET,
// TCP_TABLE_OWNER_PID_ALL, 0), so that a test can stand in for the operating system.
using OwnerTableCall = std::function<DWORD(PMIB_TCPTABLE_OWNER_PID, PDWORD, BOOL)>;

// A look that asks `call` which processes hold each connection; each process's name and user
// come from the process itself, asked during the look.
OwnerLookup OwnerLookupFrom(OwnerTableCall call);
