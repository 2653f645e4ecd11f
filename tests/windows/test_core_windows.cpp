// The core's Windows parts. The table source against stand-ins for the IP Helper call, whose rows
// name their owners: a table that grows between the calls, one that never stops growing, a call
// that fails, and one that claims more rows than its buffer holds. The owner lookup with real
// processes: this test program holding a loopback connection, as the real table lists it, with
// its program, and rows that no process the system shows holds or that name a process ID no
// process has. A connection's traffic, with stand-ins for the statistics calls, whose collection
// only an administrator may switch on. The names: an international host name in its registered
// form however it is written (IdnToAscii), the name of this machine's loopback address
// (GetNameInfoW) and of a service's port (getservbyport). It runs without Qt, under Wine for
// instance: a failed check prints its line, and the status tells whether any did.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <stop_token>
#include <string>
#include <vector>

#include "core/base/wide_text.h"
#include "core/describe/owner_lines.h"
#include "core/describe/traffic_line.h"
#include "core/names/host_lookup.h"
#include "core/names/idna.h"
#include "core/names/service_lookup.h"
#include "core/names/winsock.h"
#include "core/owners/socket_owner.h"
#include "core/table/socket_now_windows.h"
#include "core/table/tcp_table.h"
#include "core/table/tcp_table_windows.h"
#include "tests/support/rows.h"

namespace {

int failedChecks = 0;
#define CHECK(expression) \
    void((expression) || (std::printf("FAIL line %d: %s\n", __LINE__, #expression), ++failedChecks))

// Behaves as the IP Helper call does. Before each of the first `growingCalls` calls, `growth`
// connections open from 127.0.0.3 to 127.0.0.2:8080, from ports that sort before all earlier ones
// and with junk in the ports' unused halves, held by process 4242 (the fields as they lie in
// memory: the addresses and ports in network order).
struct FakeIpHelper {
    int growingCalls = 0, growth = 0;
    std::vector<MIB_TCPROW_OWNER_PID> rows;

    DWORD operator()(PMIB_TCPTABLE_OWNER_PID table, PDWORD size, BOOL) {
        for (int i = 0; growingCalls > 0 && i < growth; ++i) {
            const DWORD port = (255 - rows.size()) & 0xFF;
            rows.push_back({5, 0x0300007F, 0xCDAB00EA | port << 8, 0x0200007F, 0x01EF901F, 4242});
        }
        --growingCalls;
        const auto needed =
            DWORD(offsetof(MIB_TCPTABLE_OWNER_PID, table) + sizeof rows[0] * rows.size());
        if (*size < needed) return *size = needed, ERROR_INSUFFICIENT_BUFFER;
        table->dwNumEntries = DWORD(rows.size());
        std::memcpy(table->table, rows.data(), sizeof rows[0] * rows.size());
        return NO_ERROR;
    }
};

}  // namespace

int main() {
    // A table that grows between the calls, to more than 101 rows, is read whole.
    const TcpTable grown = ReadTcpTableFrom(FakeIpHelper{.growingCalls = 2, .growth = 60});
    CHECK(grown.rows.size() == 120 && std::ranges::is_sorted(grown.rows, TableOrder));
    CHECK(grown.rows.at(0) == Row(5, "127.0.0.3", 60040, "127.0.0.2", 8080, 4242));
    CHECK(!ReadTcpTableFrom(FakeIpHelper{.growingCalls = 1000, .growth = 200}).readable());
    const auto refuses = [](auto...) -> DWORD { return ERROR_NOT_SUPPORTED; };
    CHECK(ReadTcpTableFrom(refuses).failure.ends_with("(error 50)"));
    CHECK(!ReadTcpTableFrom([](PMIB_TCPTABLE_OWNER_PID table, PDWORD size, BOOL) -> DWORD {
               if (*size < 64) return *size = 64, ERROR_INSUFFICIENT_BUFFER;
               return table->dwNumEntries = 1000, NO_ERROR;  // more than fit in 64 bytes
           }).readable());

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
    const std::string self = "Process: test_core_windows.exe (PID " +
                             std::to_string(GetCurrentProcessId()) +
                             ")\nProgram: " + Utf8(program) + "\nUser: " + user;
    const NetworkPort port = PortField(ntohs(address.sin_port));
    int owned = 0;  // the listener and the connecting end
    for (const TcpRow& row : rows) {
        if (row.remotePort != port && !(row.localPort == port && row.state == TcpState::Listen))
            continue;
        owned += text(row) == self;
        // A listener has no traffic to tell, whatever the system.
        CHECK(row.state != TcpState::Listen || TrafficLine(row, SystemSocketLookup()(row)).empty());
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

    for (const char* bucher :
         {"b\u00fccher.example", "bu\u0308cher.example", "B\u00dcCHER.example"})
        CHECK(RegisteredAsciiName(bucher) == "xn--bcher-kva.example");
    CHECK(SystemHostLookup()({127, 0, 0, 1}) == "localhost");
    CHECK(SystemServiceLookup()(80) == "http");
    return failedChecks == 0 ? 0 : 1;
}
