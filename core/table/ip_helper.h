#pragma once

// winsock2.h must come before any header that pulls in windows.h. iphlpapi.h pulls in a
// Network Access Protection type named Ipv4Address, which is renamed here to leave the name to
// the program's own address type.
// clang-format off
#include <winsock2.h>
#define Ipv4Address NapIpv4Address
#include <iphlpapi.h>
#undef Ipv4Address
// clang-format on

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "core/table/tcp_row.h"

// The IP Helper headers in the order they need, and the reading of the table that a call fills.

// A table as a call filled it: DWORD elements keep its rows aligned. Empty when the call
// failed, and `failure` says why.
struct IpHelperTable {
    std::vector<DWORD> buffer;
    std::string failure;
};

// Calls `call` (which fills the buffer it is given or names the size it needs) with a buffer
// grown to the named size for as long as the table does not fit, a bounded number of times.
// `name` starts the failure text.
IpHelperTable CallWithGrowingBuffer(const std::function<DWORD(void*, PULONG)>& call,
                                    const std::string& name);

// The rows of the table that a call filled in: none when the call failed, or when the table's
// count claims more rows than the buffer holds, which `failure` then says.
template <class Table>
auto FilledRows(IpHelperTable& filled, const std::string& name) {
    using Row = std::remove_extent_t<decltype(Table::table)>;
    if (filled.buffer.empty()) return std::span<const Row>();
    const auto& table = *reinterpret_cast<const Table*>(filled.buffer.data());
    const std::size_t bytes = filled.buffer.size() * sizeof(DWORD);
    if (table.dwNumEntries > (bytes - offsetof(Table, table)) / sizeof(Row)) {
        filled.failure = name + ": reported " + std::to_string(table.dwNumEntries) +
                         " rows in a buffer of " + std::to_string(bytes) + " bytes";
        return std::span<const Row>();
    }
    return std::span<const Row>(table.table, table.dwNumEntries);
}

// A row of the table, its socket named by its owner's process ID.
TcpRow RowOf(const MIB_TCPROW_OWNER_PID& row);
