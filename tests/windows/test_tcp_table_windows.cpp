// The Windows table source against stand-ins for the IP Helper call, whose rows name their owners:
// a table that grows between the calls, one that never stops growing, a call that fails, and one
// that claims more rows than its buffer holds.
#include <algorithm>
#include <cstring>

#include "core/table/tcp_table_windows.h"
#include "tests/support/rows.h"
#include "tests/windows/check.h"

namespace {

// Behaves as the IP Helper call does. Before each of the first `growingCalls` calls, `growth`
// connections open from 127.0.0.3 to 127.0.0.2:8080, from ports that sort before all earlier ones
// and with junk in the ports' unused halves, held by process 4242.
struct FakeIpHelper {
    int growingCalls = 0, growth = 0;
    std::vector<MIB_TCPROW_OWNER_PID> rows;

    DWORD operator()(PMIB_TCPTABLE_OWNER_PID table, PDWORD size, BOOL) {
        for (int i = 0; growingCalls > 0 && i < growth; ++i) {
            const auto port = static_cast<std::uint8_t>(255 - rows.size());
            const std::uint8_t row[24] = {5,    0,    0,    0,    127,  0,  0, 3,
                                          0xEA, port, 0xAB, 0xCD, 127,  0,  0, 2,
                                          0x1F, 0x90, 0xEF, 0x01, 0x92, 16, 0, 0};
            std::memcpy(&rows.emplace_back(), row, sizeof row);
        }
        --growingCalls;
        return FillTable(table, size, rows);
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

    return Failed();
}
