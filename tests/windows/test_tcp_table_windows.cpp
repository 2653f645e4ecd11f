// The Windows table source against stand-ins for the IP Helper call: a table that grows between
// the calls, one that never stops growing, calls that fail, and one that claims more rows than
// it wrote.

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tcp_table_windows.h"
#include "tests/windows/check.h"

namespace {

DWORD Bytes(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[4] = {a, b, c, d};
    DWORD field;
    std::memcpy(&field, bytes, sizeof field);
    return field;
}

// A connection from 127.0.0.3:port to 127.0.0.2:8080, with junk in the ports' unused halves.
MIB_TCPROW ClientRow(std::uint16_t port) {
    MIB_TCPROW row{};
    row.dwState = TcpState::Established;
    row.dwLocalAddr = Bytes(127, 0, 0, 3);
    row.dwLocalPort = Bytes(port >> 8, port & 0xFF, 0xAB, 0xCD);
    row.dwRemoteAddr = Bytes(127, 0, 0, 2);
    row.dwRemotePort = Bytes(8080 >> 8, 8080 & 0xFF, 0xEF, 0x01);
    return row;
}

// Behaves as the IP Helper call does: fills the table when it fits, else names the size it
// needs. New connections open after each of the first `growingCalls` calls.
struct FakeIpHelper {
    std::vector<MIB_TCPROW> rows;
    int growingCalls = 0;
    std::size_t growth = 0;
    int errorFromCall = 0;  // from this call on, the call fails with `error`; 0: never
    DWORD error = NO_ERROR;
    int calls = 0;
    bool alwaysSorted = true;

    DWORD operator()(PMIB_TCPTABLE table, PULONG size, BOOL sorted) {
        ++calls;
        alwaysSorted = alwaysSorted && sorted;
        if (errorFromCall != 0 && calls >= errorFromCall) return error;
        const ULONG needed = offsetof(MIB_TCPTABLE, table) + rows.size() * sizeof(MIB_TCPROW);
        DWORD result = NO_ERROR;
        if (*size < needed) {
            *size = needed;
            result = ERROR_INSUFFICIENT_BUFFER;
        } else {
            table->dwNumEntries = rows.size();
            std::memcpy(table->table, rows.data(), rows.size() * sizeof(MIB_TCPROW));
        }
        if (calls <= growingCalls) Open(growth);
        return result;
    }

    // Opens connections from ports that sort before all earlier ones.
    void Open(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            rows.push_back(ClientRow(static_cast<std::uint16_t>(60000 - rows.size())));
    }
};

TcpTable Read(FakeIpHelper& fake) { return ReadTcpTableFrom(std::ref(fake)); }

bool InPlatformOrder(const std::vector<TcpRow>& rows) {
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (!PlatformOrder(rows[i - 1], rows[i])) return false;
    return true;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void TableThatGrowsBetweenTheCallsIsReadWhole() {
    FakeIpHelper fake;
    fake.Open(120);  // more than the classic 101 rows
    fake.growingCalls = 1;
    fake.growth = 7;
    const TcpTable table = Read(fake);
    CHECK(table.readable() && table.rows.size() == 127);
    CHECK(fake.calls == 3);  // size, too small after the growth, fits
    CHECK(fake.alwaysSorted && InPlatformOrder(table.rows));
}

void EmptyTableFitsTheFirstBuffer() {
    FakeIpHelper fake;
    const TcpTable table = Read(fake);
    CHECK(table.readable() && table.rows.empty() && fake.calls == 1);
}

void TableThatNeverStopsGrowingIsReportedNotTruncated() {
    FakeIpHelper fake;
    fake.Open(3);
    fake.growingCalls = 1000;
    fake.growth = 1;
    const TcpTable table = Read(fake);
    CHECK(!table.readable() && table.rows.empty());
    CHECK(fake.calls == 5);
}

void FailingCallIsReportedWithItsError() {
    struct Case {
        int fromCall;
        DWORD error;
    };
    // Failing at once, and failing after the size was named.
    for (const Case c : {Case{1, ERROR_NOT_SUPPORTED}, Case{2, ERROR_INVALID_PARAMETER}}) {
        FakeIpHelper fake;
        fake.Open(4);
        fake.errorFromCall = c.fromCall;
        fake.error = c.error;
        const TcpTable table = Read(fake);
        CHECK(!table.readable() && table.rows.empty());
        CHECK(fake.calls == c.fromCall);
        CHECK(Contains(table.failure, "(error " + std::to_string(c.error) + ")"));
    }
}

void RowFieldsAreCopiedAsTheyLie() {
    MIB_TCPROW mib{};
    mib.dwState = TcpState::DeleteTcb;
    mib.dwLocalAddr = Bytes(192, 168, 1, 10);
    mib.dwLocalPort = Bytes(0x01, 0xBB, 0xEE, 0xFF);
    mib.dwRemoteAddr = Bytes(10, 0, 0, 1);
    mib.dwRemotePort = Bytes(0xC0, 0x00, 0x12, 0x34);
    FakeIpHelper fake;
    fake.rows = {mib};
    const TcpTable table = Read(fake);
    CHECK(table.rows.size() == 1);
    if (table.rows.size() != 1) return;
    const TcpRow& row = table.rows[0];
    CHECK(row.state == TcpState::DeleteTcb);
    CHECK((row.localAddress == RawField{192, 168, 1, 10}));
    CHECK((row.localPort == RawField{0x01, 0xBB, 0, 0}));
    CHECK((row.remoteAddress == RawField{10, 0, 0, 1}));
    CHECK((row.remotePort == RawField{0xC0, 0x00, 0, 0}));
}

void CountBeyondTheBufferIsNotRead() {
    const TcpTableCall claimsTooMany = [](PMIB_TCPTABLE table, PULONG size, BOOL) -> DWORD {
        if (*size < 64) {
            *size = 64;
            return ERROR_INSUFFICIENT_BUFFER;
        }
        table->dwNumEntries = 1000;
        return NO_ERROR;
    };
    const TcpTable table = ReadTcpTableFrom(claimsTooMany);
    CHECK(!table.readable() && table.rows.empty());
}

}  // namespace

int main() {
    TableThatGrowsBetweenTheCallsIsReadWhole();
    EmptyTableFitsTheFirstBuffer();
    TableThatNeverStopsGrowingIsReportedNotTruncated();
    FailingCallIsReportedWithItsError();
    RowFieldsAreCopiedAsTheyLie();
    CountBeyondTheBufferIsNotRead();
    return check::Summary();
}
