#include "core/tcp_table_windows.h"

#include "core/tcp_table.h"

TcpTable ReadTcpTableFrom(const TcpTableCall& call) {
    IpHelperTable filled = CallWithGrowingBuffer(
        [&](void* buffer, PULONG size) {
            return call(static_cast<PMIB_TCPTABLE>(buffer), size, TRUE);
        },
        "GetTcpTable");
    const auto rows = FilledRows<MIB_TCPTABLE>(filled, "GetTcpTable");
    if (!filled.failure.empty()) return {{}, filled.failure};
    TcpTable table;
    table.rows.reserve(rows.size());
    for (const MIB_TCPROW& row : rows) table.rows.push_back(RowOf(row));
    SortIntoTableOrder(table.rows);
    return table;
}

TcpTable GetTcpTable() {
    return ReadTcpTableFrom(
        static_cast<DWORD(WINAPI*)(PMIB_TCPTABLE, PULONG, BOOL)>(::GetTcpTable));
}
