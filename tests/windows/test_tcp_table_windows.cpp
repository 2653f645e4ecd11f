// The Windows table source against stand-ins for the IP Helper call (a table that grows between
// the calls, one that never stops growing, a call that fails, one that claims more rows than
// it wrote), then against the real call as Wine gives it.
#include <algorithm>
#include <cstring>
#include <string>

#include "Module1.h"
#include "check.h"
#include "tcp_table.h"
#include "tcp_table_windows.h"

namespace {

DWORD Bytes(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[4] = {a, b, c, d};
    DWORD field;
    std::memcpy(&field, bytes, sizeof field);
    return field;
}

// Behaves as the IP Helper call does: fills the table when it fits, else names the size it
// needs. Before each of the first `growingCalls` calls, `growth` connections open, from ports
// that sort before all earlier ones; call number `failingCall` fails.
struct FakeIpHelper {
    std::vector<MIB_TCPROW> rows;
    int growingCalls = 0;
    int growth = 0;
    int failingCall = 0;
    int calls = 0;

    DWORD operator()(PMIB_TCPTABLE table, PULONG size, BOOL) {
        ++calls;
        for (int i = 0; calls <= growingCalls && i < growth; ++i) {
            // From 127.0.0.3 to 127.0.0.2:8080, with junk in the ports' unused halves.
            const int port = 60000 - static_cast<int>(rows.size());
            rows.push_back({{MIB_TCP_STATE_ESTAB},
                            Bytes(127, 0, 0, 3),
                            Bytes(port >> 8, port & 0xFF, 0xAB, 0xCD),
                            Bytes(127, 0, 0, 2),
                            Bytes(8080 >> 8, 8080 & 0xFF, 0xEF, 0x01)});
        }
        if (calls == failingCall) return ERROR_NOT_SUPPORTED;
        const ULONG needed = offsetof(MIB_TCPTABLE, table) + rows.size() * sizeof(MIB_TCPROW);
        const bool fits = *size >= needed;
        if (fits) table->dwNumEntries = rows.size();
        if (fits) std::memcpy(table->table, rows.data(), rows.size() * sizeof(MIB_TCPROW));
        if (!fits) *size = needed;
        return fits ? NO_ERROR : ERROR_INSUFFICIENT_BUFFER;
    }
};

// The rows, or the failure.
std::string Text(const TcpTable& table) {
    if (!table.readable()) return table.failure;
    std::string text;
    for (const TcpRow& row : table.rows)
        text += std::to_string(row.state) + ' ' + IpText(row.localAddress) + ':' +
                std::to_string(PortNumber(row.localPort)) + ' ' + IpText(row.remoteAddress) + ':' +
                std::to_string(PortNumber(row.remotePort)) + '\n';
    return text;
}

std::string Read(const TcpTableCall& call) { return Text(ReadTcpTableFrom(call)); }

}  // namespace

int main() {
    FakeIpHelper growing{.growingCalls = 2, .growth = 60};  // more than a classic 101 rows
    const std::string grown = Read(std::ref(growing));
    CHECK(std::ranges::count(grown, '\n') == 120);
    CHECK(grown.starts_with("5 127.0.0.3:59881 127.0.0.2:8080\n5 127.0.0.3:59882 "));
    CHECK(Read(FakeIpHelper{}).empty());
    CHECK(Read(FakeIpHelper{.growingCalls = 1000, .growth = 1}).starts_with("GetTcpTable: "));
    CHECK(Read(FakeIpHelper{.growingCalls = 1, .growth = 1, .failingCall = 2})
              .ends_with("(error 50)"));
    CHECK(Read([](PMIB_TCPTABLE table, PULONG size, BOOL) -> DWORD {
              if (*size < 64) return *size = 64, ERROR_INSUFFICIENT_BUFFER;
              return table->dwNumEntries = 1000, NO_ERROR;  // more than fit in 64 bytes
          }).starts_with("GetTcpTable: "));

    // A listener that this program opens on loopback, on a port that the system picks.
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{.sin_family = AF_INET};
    address.sin_addr.s_addr = htonl(0x7F000002);  // 127.0.0.2
    int length = sizeof address;
    CHECK(bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
          listen(listener, 1) == 0 &&
          getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    const std::string real = Text(GetTcpTable());
    CHECK(real.find("2 127.0.0.2:" + std::to_string(ntohs(address.sin_port)) + ' ') !=
          std::string::npos);
    return Failed();
}
