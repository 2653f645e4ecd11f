// The Windows owner lookup against a stand-in for GetExtendedTcpTable, with real processes:
// this test program itself and a process id that no process has.

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "core/socket_owner_windows.h"
#include "core/tcp_table_windows.h"
#include "tests/windows/check.h"

namespace {

// 127.0.0.3:localPort to 127.0.0.2:8080, with junk in the local port's unused half.
MIB_TCPROW_OWNER_PID OwnedRow(std::uint16_t localPort, DWORD pid) {
    return {TcpState::Established, htonl(0x7F000003), htons(localPort) | 0xABCD0000u,
            htonl(0x7F000002),     htons(8080),       pid};
}

struct FakeOwnerTable {
    std::vector<MIB_TCPROW_OWNER_PID> rows;
    int calls = 0;

    DWORD operator()(PMIB_TCPTABLE_OWNER_PID table, PDWORD size, BOOL) {
        ++calls;
        return FillTable(table, size, rows);
    }
};

}  // namespace

int main() {
    char user[256];
    DWORD userLength = sizeof user;
    GetUserNameA(user, &userLength);
    const DWORD self = GetCurrentProcessId();
    FakeOwnerTable fake;
    fake.rows = {OwnedRow(1007, self), OwnedRow(1008, 0), OwnedRow(1009, 0x7FFFFFF0),
                 OwnedRow(1010, self), OwnedRow(1010, self)};
    const std::string held =
        "Process: test_socket_owner_windows.exe (PID " + std::to_string(self) + ")\nUser: " + user;
    const struct {
        std::uint16_t port;
        std::string text;
    } cases[] = {
        {1007, held},
        {1008, "No process: the connection is closing"},
        {1009, "No process: closed since the last refresh"},  // no process has that id
        {1000, "No process: closed since the last refresh"},  // not in the table any more
        {1010, held},  // two sockets of one process on the same fields
    };
    const auto look = OwnerLookupFrom(std::ref(fake))({}, std::stop_token{});
    for (const auto& c : cases)
        CHECK(OwnerText(look.get(), RowOf(OwnedRow(c.port, 0)), false) == c.text);
    CHECK(fake.calls == 2);  // one look, with the size named first, answers every question
    std::stop_source stopped;
    stopped.request_stop();
    CHECK(OwnerLookupFrom(std::ref(fake))({}, stopped.get_token()) == nullptr);
    const auto failing =
        OwnerLookupFrom([](auto...) { return DWORD{ERROR_NOT_SUPPORTED}; })({}, std::stop_token{});
    CHECK(OwnerText(failing.get(), RowOf(OwnedRow(1007, 0)), false).ends_with("(error 50))"));
    return Failed();
}
