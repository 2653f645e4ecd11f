// The Windows owner lookup against a stand-in for GetExtendedTcpTable, with real processes:
// this test program itself and a process id that no process has.

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "socket_owner_windows.h"
#include "tcp_table_windows.h"
#include "tests/windows/check.h"

namespace {

MIB_TCPROW_OWNER_PID OwnedRow(std::uint16_t localPort, DWORD pid) {
    MIB_TCPROW_OWNER_PID row{};
    row.dwState = TcpState::Established;
    std::memcpy(&row.dwLocalAddr, "\x7f\x00\x00\x03", 4);
    row.dwLocalPort = htons(localPort) | 0xABCD0000;  // junk in the unused half
    std::memcpy(&row.dwRemoteAddr, "\x7f\x00\x00\x02", 4);
    row.dwRemotePort = htons(8080);
    row.dwOwningPid = pid;
    return row;
}

// Fills the table when it fits, else names the size it needs, as the IP Helper call does.
struct FakeOwnerTable {
    std::vector<MIB_TCPROW_OWNER_PID> rows;
    DWORD error = NO_ERROR;
    int calls = 0;

    DWORD operator()(PMIB_TCPTABLE_OWNER_PID table, PDWORD size, BOOL) {
        ++calls;
        const DWORD needed = offsetof(MIB_TCPTABLE_OWNER_PID, table) + rows.size() * sizeof rows[0];
        if (error != NO_ERROR) return error;
        if (*size < needed) {
            *size = needed;
            return ERROR_INSUFFICIENT_BUFFER;
        }
        table->dwNumEntries = rows.size();
        std::memcpy(table->table, rows.data(), rows.size() * sizeof rows[0]);
        return NO_ERROR;
    }
};

std::string ThisUser() {
    wchar_t name[256];
    DWORD length = 256;
    GetUserNameW(name, &length);
    std::string utf8(4 * length, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length) - 1, utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, nullptr));
    return utf8;
}

}  // namespace

int main() {
    const DWORD self = GetCurrentProcessId();
    const std::string selfText = "Process: test_socket_owner_windows.exe (PID " +
                                 std::to_string(self) + ")\nUser: " + ThisUser();
    FakeOwnerTable fake;
    for (std::uint16_t port = 1000; port < 1100; ++port) fake.rows.push_back(OwnedRow(port, 4242));
    fake.rows[7] = OwnedRow(1007, self);
    fake.rows[8] = OwnedRow(1008, 0);
    fake.rows[9] = OwnedRow(1009, 0x7FFFFFF0);  // no such process
    struct Case {
        std::uint16_t port;
        std::string text;
    } cases[] = {
        {1007, selfText},
        {1008, "No process: the connection is closing"},
        {1009, "Process: ended"},
        {2000, "Process: ended"},  // not in the table any more
    };
    SocketOwners owners(OwnerScanFrom(std::ref(fake)));
    for (const Case& c : cases) {
        const TcpRow row = RowOf(OwnedRow(c.port, 0));
        const std::string text = OwnerText(owners.Owner(row), false);
        CHECK(text == c.text);
        if (text != c.text) std::printf("port %u: %s\n", c.port, text.c_str());
    }
    CHECK(fake.calls == 2);  // one look, with the size named first, answers every question
    owners.Forget();
    fake.error = ERROR_NOT_SUPPORTED;
    CHECK(OwnerText(owners.Owner(RowOf(OwnedRow(1007, 0))), false).find("(error 50)") !=
          std::string::npos);
    return check::Summary();
}
