// The Windows owner lookup with real processes: this test program holding a loopback connection,
// as the real table lists it, with its program, and rows that no process the system shows holds
// or that name a process ID no process has. A connection's traffic, with stand-ins for the
// statistics calls, whose collection only an administrator may switch on.

#include <stop_token>
#include <string>
#include <vector>

#include "core/base/wide_text.h"
#include "core/describe/owner_lines.h"
#include "core/describe/traffic_line.h"
#include "core/names/winsock.h"
#include "core/owners/socket_owner.h"
#include "core/table/socket_now_windows.h"
#include "core/table/tcp_table.h"
#include "tests/support/rows.h"
#include "tests/windows/check.h"

int main() {
    char user[256];
    u_long userLength = sizeof user, unread;  // a DWORD, as the socket calls' u_long is
    GetUserNameA(user, &userLength);
    WinsockStarted();
    sockaddr_in address{AF_INET, 0, {{{127, 0, 0, 1}}}, {}};
    const auto end = reinterpret_cast<sockaddr*>(&address);
    int size = sizeof address;
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, 0),
                 client = socket(AF_INET, SOCK_STREAM, 0);
    bind(listener, end, size);
    listen(listener, 1);
    getsockname(listener, end, &size);
    connect(client, end, size);
    accept(listener, nullptr, nullptr);
    // Wine 8 names a socket's process only while the process holds the socket's descriptor: once
    // it has asked the socket something itself, and never for an accepted one.
    for (const SOCKET asked : {listener, client}) ioctlsocket(asked, FIONREAD, &unread);

    std::vector<TcpRow> rows = GetTcpTable().rows;
    rows.insert(rows.end(), {TcpRow{TcpState::Established},  // held outside what Windows shows
                             TcpRow{TcpState::Established, {}, {}, {}, {}, 0x7FFFFFF0}});
    const auto index = SystemOwnerLookup()(rows, std::stop_token{});
    const auto text = [&](const TcpRow& row) { return OwnerLines(index.get(), row); };
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::string self = "Process: test_socket_owner_windows.exe (PID " +
                             std::to_string(GetCurrentProcessId()) +
                             ")\nProgram: " + Utf8(program) + "\nUser: " + user;
    const NetworkPort port = PortField(ntohs(address.sin_port));
    int owned = 0;  // the listener and the connecting end
    for (const TcpRow& row : rows) {
        if (row.remotePort != port && !(row.localPort == port && row.state == TcpState::Listen))
            continue;
        owned += text(row) == self;
        // A listener has no traffic to tell, whatever the system.
        const std::string traffic = TrafficLine(row, SystemSocketLookup()(row));
        CHECK(row.state != TcpState::Listen || traffic.empty());
    }
    CHECK(owned == 2);
    CHECK(text(rows.rbegin()[1]) == "Process: not visible without administrator rights");
    CHECK(text(rows.back()) == "No process: closed since the last refresh");
    std::stop_source stopped;
    stopped.request_stop();
    CHECK(SystemOwnerLookup()(rows, stopped.get_token()) == nullptr);

    // The first question of an administrator's program switches collection on and counts from
    // then; a program that may not gets the refusal; one that finds collection on already
    // counts from before its first question.
    bool collecting = false, mayCollect = false;
    ULONG64 acked = 0;
    const EStatsCalls calls{
        [&](PMIB_TCPROW, TCP_ESTATS_TYPE type, PUCHAR rw, ULONG, PUCHAR rod, ULONG) -> ULONG {
            reinterpret_cast<TCP_ESTATS_DATA_RW_v0*>(rw)->EnableCollection = collecting;
            if (type == TcpConnectionEstatsData)
                reinterpret_cast<TCP_ESTATS_DATA_ROD_v0*>(rod)->ThruBytesAcked = acked;
            else
                reinterpret_cast<TCP_ESTATS_PATH_ROD_v0*>(rod)->SmoothedRtt = 3;
            return NO_ERROR;
        },
        [&](PMIB_TCPROW, TCP_ESTATS_TYPE, PUCHAR, ULONG) -> ULONG {
            if (!mayCollect) return ERROR_ACCESS_DENIED;
            collecting = true;
            return NO_ERROR;
        },
        [] { return std::chrono::seconds(13 * 3600 + 5 * 60 + 9); }};
    const TcpRow connection = Row(TcpState::Established, "10.0.0.5", 1, "10.0.0.7", 2, 4242);
    const auto line = [&](const SocketLookup& lookup) {
        return TrafficLine(connection, lookup(connection));
    };
    acked = 4096;  // counted before, by nobody's request
    CHECK(line(SocketLookupThrough(calls)) ==
          "Traffic now: not visible without administrator rights");
    mayCollect = true;
    const SocketLookup administrator = SocketLookupThrough(calls);
    CHECK(line(administrator) ==
          "Traffic since 13:05:09: 0 B sent, 0 B received, round trip 3.0 ms");
    acked = 2048;
    CHECK(line(administrator) ==
          "Traffic since 13:05:09: 2.0 KB sent, 0 B received, round trip 3.0 ms");
    CHECK(line(SocketLookupThrough(calls)).starts_with("Traffic since before 13:05:09: 2.0 KB"));
    return Failed();
}
