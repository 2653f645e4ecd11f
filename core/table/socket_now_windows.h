#pragma once

#include <chrono>
#include <functional>

#include "core/table/ip_helper.h"
#include "core/table/socket_now.h"

// The IP Helper calls behind a connection's figures, and the clock, so that a test can stand in
// for the system: GetPerTcpConnectionEStats(row, type, rw, 0, rwSize, nullptr, 0, 0, rod, 0,
// rodSize) as `get`, SetPerTcpConnectionEStats(row, type, rw, 0, rwSize, 0) as `set` (either
// empty where the system lacks it), and the local time of day.
struct EStatsCalls {
    std::function<ULONG(PMIB_TCPROW, TCP_ESTATS_TYPE, PUCHAR, ULONG, PUCHAR, ULONG)> get;
    std::function<ULONG(PMIB_TCPROW, TCP_ESTATS_TYPE, PUCHAR, ULONG)> set;
    std::function<std::chrono::seconds()> timeOfDay;
};

// Asks through `calls`. The system collects a connection's statistics only once collection is
// switched on for it, which only an administrator's program may do: the first question does, and
// the answers tell the figures as counted since that moment.
SocketLookup SocketLookupThrough(EStatsCalls calls);
