#include "core/table/ip_helper.h"

#include <cstring>

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

// Fields as they lie: addresses in network order, ports in network order in their first two
// bytes (the other two may hold anything).
Ipv4Address AddressBytes(const DWORD& address) {
    Ipv4Address bytes;
    std::memcpy(bytes.data(), &address, bytes.size());
    return bytes;
}

NetworkPort PortBytes(const DWORD& port) {
    NetworkPort bytes;
    std::memcpy(bytes.data(), &port, bytes.size());
    return bytes;
}

}  // namespace

TcpRow RowOf(const MIB_TCPROW_OWNER_PID& row) {
    TcpRow tcpRow;
    tcpRow.state = row.dwState <= TcpState::DeleteTcb ? static_cast<std::uint8_t>(row.dwState) : 0;
    tcpRow.localAddress = AddressBytes(row.dwLocalAddr);
    tcpRow.localPort = PortBytes(row.dwLocalPort);
    tcpRow.remoteAddress = AddressBytes(row.dwRemoteAddr);
    tcpRow.remotePort = PortBytes(row.dwRemotePort);
    tcpRow.holderKey = row.dwOwningPid;
    return tcpRow;
}

IpHelperTable CallWithGrowingBuffer(const std::function<DWORD(void*, PULONG)>& call,
                                    const std::string& name) {
    // The first buffer holds the count alone: an empty table fits, and any other makes the
    // call name the size it needs.
    std::vector<DWORD> buffer(1);
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        ULONG size = static_cast<ULONG>(buffer.size() * sizeof(DWORD));
        const DWORD result = call(buffer.data(), &size);
        if (result == NO_ERROR) return {std::move(buffer), {}};
        if (result != ERROR_INSUFFICIENT_BUFFER) return {{}, name + ": " + ErrorText(result)};
        // Room for rows that open before the next call, as they do on a busy machine.
        buffer.assign((size + 4096) / sizeof(DWORD) + 1, 0);
    }
    return {{}, name + ": the table kept outgrowing its buffer"};
}
