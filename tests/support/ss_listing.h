#pragma once

#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "core/table/tcp_row.h"

// The ss tool (iproute2) as an independent witness of the kernel's connection table.

// The output of `ss -H <options>` run in this process's network namespace; empty if ss fails.
std::string RunSs(const char* options);

// The rows of an `ss -tan` style listing whose two addresses are IPv4, written plainly or
// IPv4-mapped ([::ffff:127.0.0.2]:8443), in table order. A state name ss has no
// business printing gives state 0, so that a comparison shows it.
std::vector<TcpRow> RowsFromSsListing(std::string_view listing);

// Rows one text each, their five cells as the clipboard takes them, so that a failed comparison
// shows them.
QStringList RowTexts(const std::vector<TcpRow>& rows);
