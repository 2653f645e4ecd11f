#include "core/table/socket_now_windows.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {

// The connections whose collection was first seen on, by their fields: when, and whether it was
// on already then. Past this many, the oldest are forgotten, and read as on already.
constexpr std::size_t RememberedAtMost = 4096;

struct CollectionStarts {
    struct Start {
        std::chrono::seconds at;
        bool before;
    };
    std::mutex mutex;
    std::map<ConnectionFields, Start> starts;

    Start note(const ConnectionFields& fields, std::chrono::seconds now, bool switchedOn) {
        const std::lock_guard lock(mutex);
        if (switchedOn || !starts.contains(fields)) {
            if (starts.size() >= RememberedAtMost) starts.clear();
            starts[fields] = {now, !switchedOn};
        }
        return starts[fields];
    }
};

MIB_TCPROW RowFor(const TcpRow& tcpRow) {
    MIB_TCPROW row{};
    row.dwState = tcpRow.state;
    std::memcpy(&row.dwLocalAddr, tcpRow.localAddress.data(), 4);
    std::memcpy(&row.dwLocalPort, tcpRow.localPort.data(), 2);
    std::memcpy(&row.dwRemoteAddr, tcpRow.remoteAddress.data(), 4);
    std::memcpy(&row.dwRemotePort, tcpRow.remotePort.data(), 2);
    return row;
}

template <class T>
PUCHAR Bytes(T& value) {
    return reinterpret_cast<PUCHAR>(&value);
}

// Switches collection of one kind of statistics on for the row's connection.
template <class ReadWrite>
ULONG SwitchOn(const EStatsCalls& calls, MIB_TCPROW& row, TCP_ESTATS_TYPE type) {
    ReadWrite on{};
    on.EnableCollection = TRUE;
    return calls.set(&row, type, Bytes(on), sizeof on);
}

SocketNow Look(const EStatsCalls& calls, CollectionStarts& starts, const TcpRow& tcpRow) {
    // Windows keeps no accept queue a program can read, nor the time of the last data.
    if (tcpRow.state == TcpState::Listen) return {SocketNow::Kind::Seen, {}, {}};
    if (!calls.get || !calls.set) return {SocketNow::Kind::Seen, {}, {}};
    MIB_TCPROW row = RowFor(tcpRow);
    TCP_ESTATS_DATA_RW_v0 collecting{};
    TCP_ESTATS_DATA_ROD_v0 data{};
    ULONG result = calls.get(&row, TcpConnectionEstatsData, Bytes(collecting), sizeof collecting,
                             Bytes(data), sizeof data);
    if (result == ERROR_NOT_FOUND) return {};
    const bool switching = result == NO_ERROR && !collecting.EnableCollection;
    if (switching) {
        result = SwitchOn<TCP_ESTATS_DATA_RW_v0>(calls, row, TcpConnectionEstatsData);
        SwitchOn<TCP_ESTATS_PATH_RW_v0>(calls, row, TcpConnectionEstatsPath);
        data = {};  // counted from now
    }
    if (result == ERROR_ACCESS_DENIED) return {SocketNow::Kind::Refused, {}, {}};
    // A system that does not collect them (Wine) has nothing to tell.
    if (result != NO_ERROR) return {SocketNow::Kind::Seen, {}, {}};
    const auto start = starts.note(FieldsOf(tcpRow), calls.timeOfDay(), switching);
    Traffic traffic{data.ThruBytesAcked, data.ThruBytesReceived};
    traffic.countedSince = start.at;
    traffic.countedSinceBefore = start.before;
    TCP_ESTATS_PATH_RW_v0 pathCollecting{};
    TCP_ESTATS_PATH_ROD_v0 path{};
    if (calls.get(&row, TcpConnectionEstatsPath, Bytes(pathCollecting), sizeof pathCollecting,
                  Bytes(path), sizeof path) == NO_ERROR &&
        pathCollecting.EnableCollection)
        traffic.roundTrip = std::chrono::milliseconds(path.SmoothedRtt);
    return {SocketNow::Kind::Seen, traffic, {}};
}

// Taken at run time, where the system has them, so that the program starts everywhere.
template <class Call>
Call Function(const char* name) {
    return reinterpret_cast<Call>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"iphlpapi.dll"), name)));
}

}  // namespace

SocketLookup SocketLookupThrough(EStatsCalls calls) {
    return [calls = std::move(calls), starts = std::make_shared<CollectionStarts>()](
               const TcpRow& row) { return Look(calls, *starts, row); };
}

SocketLookup SystemSocketLookup() {
    using Get = ULONG(WINAPI*)(PMIB_TCPROW, TCP_ESTATS_TYPE, PUCHAR, ULONG, ULONG, PUCHAR, ULONG,
                               ULONG, PUCHAR, ULONG, ULONG);
    using Set = ULONG(WINAPI*)(PMIB_TCPROW, TCP_ESTATS_TYPE, PUCHAR, ULONG, ULONG, ULONG);
    EStatsCalls calls;
    if (const auto get = Function<Get>("GetPerTcpConnectionEStats"))
        calls.get = [get](PMIB_TCPROW row, TCP_ESTATS_TYPE type, PUCHAR rw, ULONG rwSize,
                          PUCHAR dynamic, ULONG dynamicSize) {
            return get(row, type, rw, 0, rwSize, nullptr, 0, 0, dynamic, 0, dynamicSize);
        };
    if (const auto set = Function<Set>("SetPerTcpConnectionEStats"))
        calls.set = [set](PMIB_TCPROW row, TCP_ESTATS_TYPE type, PUCHAR rw, ULONG rwSize) {
            return set(row, type, rw, 0, rwSize, 0);
        };
    calls.timeOfDay = [] {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return std::chrono::seconds(now.wHour * 3600 + now.wMinute * 60 + now.wSecond);
    };
    return SocketLookupThrough(std::move(calls));
}
