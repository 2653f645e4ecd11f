#include <cstring>

#include "core/table/ip_helper.h"
#include "core/table/socket_now.h"

namespace {

// GetPerTcpConnectionEStats, where the system has it (Wine 8 may not): taken at run time, so
// that the program starts everywhere.
using EStatsCall = ULONG(WINAPI*)(PMIB_TCPROW, TCP_ESTATS_TYPE, PUCHAR, ULONG, ULONG, PUCHAR, ULONG,
                                  ULONG, PUCHAR, ULONG, ULONG);

EStatsCall GetEStats() {
    static const auto call = reinterpret_cast<EStatsCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"iphlpapi.dll"), "GetPerTcpConnectionEStats")));
    return call;
}

// One kind of statistics of the row's connection: its read-write part says whether the system
// collects them, its dynamic part holds them. False when the system refuses them.
template <class ReadWrite, class Dynamic>
ULONG Statistics(EStatsCall call, MIB_TCPROW& row, TCP_ESTATS_TYPE type, ReadWrite& collecting,
                 Dynamic& figures) {
    return call(&row, type, reinterpret_cast<PUCHAR>(&collecting), 0, sizeof collecting, nullptr, 0,
                0, reinterpret_cast<PUCHAR>(&figures), 0, sizeof figures);
}

}  // namespace

// Windows keeps no accept queue a program can read, nor the time of the last data.
SocketNow LookAtSocketNow(const TcpRow& tcpRow) {
    const EStatsCall call = GetEStats();
    if (call == nullptr) return {SocketNow::Kind::Refused, {}, {}};
    if (tcpRow.state == TcpState::Listen) return {SocketNow::Kind::Seen, {}, {}};
    MIB_TCPROW row{};
    row.dwState = tcpRow.state;
    std::memcpy(&row.dwLocalAddr, tcpRow.localAddress.data(), 4);
    std::memcpy(&row.dwLocalPort, tcpRow.localPort.data(), 2);
    std::memcpy(&row.dwRemoteAddr, tcpRow.remoteAddress.data(), 4);
    std::memcpy(&row.dwRemotePort, tcpRow.remotePort.data(), 2);
    TCP_ESTATS_DATA_RW_v0 collecting{};
    TCP_ESTATS_DATA_ROD_v0 data{};
    const ULONG result = Statistics(call, row, TcpConnectionEstatsData, collecting, data);
    if (result == ERROR_NOT_FOUND) return {};
    // Collection is off unless an administrator turned it on: figures counted from then would
    // understate the connection.
    if (result != NO_ERROR || !collecting.EnableCollection)
        return {SocketNow::Kind::Refused, {}, {}};
    Traffic traffic{data.ThruBytesAcked, data.ThruBytesReceived, {}, {}};
    TCP_ESTATS_PATH_RW_v0 pathCollecting{};
    TCP_ESTATS_PATH_ROD_v0 path{};
    if (Statistics(call, row, TcpConnectionEstatsPath, pathCollecting, path) == NO_ERROR &&
        pathCollecting.EnableCollection)
        traffic.roundTrip = std::chrono::milliseconds(path.SmoothedRtt);
    return {SocketNow::Kind::Seen, traffic, {}};
}
