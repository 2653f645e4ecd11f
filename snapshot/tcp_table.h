#pragma once

#include "snapshot/tcp_row.h"

// One snapshot of this machine's IPv4 TCP connection table, in the platform's order. When the
// table cannot be read, the snapshot holds no rows and says why.
TcpTable GetTcpTable();
