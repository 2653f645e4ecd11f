// The Windows owner lookup with real processes: this test program itself and a process ID that
// no process has, as the table's rows name them.

#include <stop_token>
#include <string>
#include <vector>

#include "core/socket_owner.h"
#include "tests/windows/check.h"

namespace {

// 127.0.0.3:localPort to 127.0.0.2:8080, held by the process `pid`.
TcpRow OwnedRow(std::uint16_t localPort, DWORD pid, DWORD state = TcpState::Established) {
    return RowOf({state, htonl(0x7F000003), htons(localPort), htonl(0x7F000002), htons(8080), pid});
}

}  // namespace

int main() {
    char user[256];
    DWORD userLength = sizeof user;
    GetUserNameA(user, &userLength);
    const DWORD self = GetCurrentProcessId();
    const std::vector<TcpRow> rows = {OwnedRow(1007, self), OwnedRow(1008, 0),
                                      OwnedRow(1009, 0x7FFFFFF0)};
    const std::string texts[] = {
        "Process: test_socket_owner_windows.exe (PID " + std::to_string(self) + ")\nUser: " + user,
        "Process: not visible without administrator rights",  // held outside what Windows shows
        "No process: closed since the last refresh",          // no process has that ID
    };
    const auto index = SystemOwnerLookup()(rows, std::stop_token{});
    for (std::size_t i = 0; i < rows.size(); ++i)
        CHECK(OwnerText(index.get(), rows[i], false) == texts[i]);
    std::stop_source stopped;
    stopped.request_stop();
    CHECK(SystemOwnerLookup()(rows, stopped.get_token()) == nullptr);
    return Failed();
}
