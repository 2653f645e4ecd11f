#include "tcp_table_windows.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "tcp_table.h"

namespace {

// Enough for a table that keeps growing while connections open between the calls.
constexpr int MaxAttempts = 5;

std::string ErrorText(DWORD error) {
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<LPSTR>(&message), 0, nullptr);
    std::string text(message, length);
    LocalFree(message);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    const std::string code = "error " + std::to_string(error);
    return text.empty() ? code : text + " (" + code + ")";
}

// Addresses are in network order in memory: the bytes are taken as they lie, never through a
// host integer.
RawField AddressBytes(const DWORD& address) {
    RawField bytes;
    std::memcpy(bytes.data(), &address, bytes.size());
    return bytes;
}

// The port is in network order in the first two bytes; the other two may hold anything.
RawField PortBytes(const DWORD& port) {
    RawField bytes{};
    std::memcpy(bytes.data(), &port, 2);
    return bytes;
}

TcpTable RowsOf(const MIB_TCPTABLE& mib, std::size_t bufferBytes) {
    const std::size_t room = (bufferBytes - offsetof(MIB_TCPTABLE, table)) / sizeof(MIB_TCPROW);
    if (mib.dwNumEntries > room) {
        return {{},
                "GetTcpTable: reported " + std::to_string(mib.dwNumEntries) + " rows in room for " +
                    std::to_string(room)};
    }
    TcpTable table;
    table.rows.reserve(mib.dwNumEntries);
    for (DWORD i = 0; i < mib.dwNumEntries; ++i) {
        const MIB_TCPROW& row = mib.table[i];
        table.rows.push_back({static_cast<std::int32_t>(row.dwState), AddressBytes(row.dwLocalAddr),
                              PortBytes(row.dwLocalPort), AddressBytes(row.dwRemoteAddr),
                              PortBytes(row.dwRemotePort)});
    }
    SortIntoPlatformOrder(table.rows);
    return table;
}

}  // namespace

TcpTable ReadTcpTableFrom(const TcpTableCall& call) {
    // DWORD elements keep the rows aligned. The first buffer holds the count alone: an empty
    // table fits, and any other makes the call name the size it needs.
    std::vector<DWORD> buffer(1);
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        const std::size_t bufferBytes = buffer.size() * sizeof(DWORD);
        ULONG size = static_cast<ULONG>(bufferBytes);
        auto* mib = reinterpret_cast<PMIB_TCPTABLE>(buffer.data());
        const DWORD result = call(mib, &size, TRUE);
        if (result == NO_ERROR) return RowsOf(*mib, bufferBytes);
        if (result != ERROR_INSUFFICIENT_BUFFER) return {{}, "GetTcpTable: " + ErrorText(result)};
        buffer.assign(size / sizeof(DWORD) + 1, 0);
    }
    return {{}, "GetTcpTable: the table kept outgrowing its buffer"};
}

TcpTable GetTcpTable() {
    return ReadTcpTableFrom(
        static_cast<DWORD(WINAPI*)(PMIB_TCPTABLE, PULONG, BOOL)>(::GetTcpTable));
}
