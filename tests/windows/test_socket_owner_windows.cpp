// The Windows owner lookup with real processes: this test program holding a loopback connection,
// as the real table lists it, with its program and its traffic, and rows that no process the
// system shows holds or that name a process ID no process has.

#include <stop_token>
#include <string>
#include <vector>

#include "core/base/wide_text.h"
#include "core/list/traffic_text.h"
#include "core/names/winsock.h"
#include "core/owners/socket_owner.h"
#include "core/table/socket_now.h"
#include "core/table/tcp_table.h"
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
    const auto text = [&](const TcpRow& row) { return OwnerText(index.get(), row, false); };
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
        // Figures, or the system's refusal, where it has GetPerTcpConnectionEStats at all; none
        // for the listener.
        const std::string traffic = TrafficLine(row, LookAtSocketNow(row));
        CHECK((row.state == TcpState::Listen) == traffic.empty() &&
              (traffic.empty() || !traffic.ends_with("looking up...")));
    }
    CHECK(owned == 2);
    CHECK(text(rows.rbegin()[1]) == "Process: not visible without administrator rights");
    CHECK(text(rows.back()) == "No process: closed since the last refresh");
    std::stop_source stopped;
    stopped.request_stop();
    CHECK(SystemOwnerLookup()(rows, stopped.get_token()) == nullptr);
    return Failed();
}
