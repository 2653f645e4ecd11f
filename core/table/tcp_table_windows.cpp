#include "core/table/tcp_table_windows.h"

#include "core/table/tcp_table.h"

TcpTable ReadTcpTableFrom(const TcpTableCall& call) {
    IpHelperTable filled = CallWithGrowingBuffer(
        [&](void* buffer, PULONG size) {
            return call(static_cast<PMIB_TCPTABLE_OWNER_PID>(buffer), size, TRUE);
        },
        "GetExtendedTcpTable");
    const auto rows = FilledRows<MIB_TCPTABLE_OWNER_PID>(filled, "GetExtendedTcpTable");
    if (!filled.failure.empty()) return {{}, filled.failure};
    TcpTable table;
    table.rows.reserve(rows.size());
    for (const MIB_TCPROW_OWNER_PID& row : rows) table.rows.push_back(RowOf(row));
    SortIntoTableOrder(table.rows);
    return table;
}

TcpTable GetTcpTable() {
    return ReadTcpTableFrom([](PMIB_TCPTABLE_OWNER_PID table, PDWORD size, BOOL sorted) {
        return GetExtendedTcpTable(table, size, sorted, AF_INET, TCP_TABLE_OWNER_PID_ALL, 0);
    });
}
