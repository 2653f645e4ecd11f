#pragma once

#include <functional>

#include "core/table/tcp_row.h"

// One snapshot of this machine's IPv4 TCP connection table, in table order. When the
// table cannot be read, the snapshot holds no rows and says why.
TcpTable GetTcpTable();

// Where a refresh takes its snapshot from: GetTcpTable in the program, a table of its own in a
// test.
using TableSource = std::function<TcpTable()>;
