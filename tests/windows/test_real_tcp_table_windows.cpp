// Reads the machine's connection table through the Windows source and compares it, row for row,
// with the connections that the calling script holds open. Standard input lists them, one line
// each: "state local-address local-port remote-address remote-port". The script runs this in a
// network namespace of its own, so those are all the connections there are.

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "core/row_text.h"
#include "core/socket_owner.h"
#include "core/tcp_table.h"
#include "tests/windows/check.h"

namespace {

std::string Line(const TcpRow& row) {
    return std::to_string(row.state) + ' ' + IpText(row.localAddress) + ' ' +
           std::to_string(PortNumber(row.localPort)) + ' ' + IpText(row.remoteAddress) + ' ' +
           std::to_string(PortNumber(row.remotePort));
}

void PrintAll(const char* heading, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::printf("%s %s\n", heading, line.c_str());
}

}  // namespace

int main() {
    std::vector<std::string> expected;
    for (std::string line; std::getline(std::cin, line);)
        if (!line.empty()) expected.push_back(line);
    std::sort(expected.begin(), expected.end());

    const TcpTable table = GetTcpTable();
    CHECK(table.readable());
    if (!table.readable()) std::printf("failure: %s\n", table.failure.c_str());
    CHECK(std::is_sorted(table.rows.begin(), table.rows.end(), PlatformOrder));

    std::vector<std::string> listed;
    for (const TcpRow& row : table.rows) listed.push_back(Line(row));
    std::sort(listed.begin(), listed.end());

    CHECK(!expected.empty());
    CHECK(listed == expected);
    std::vector<std::string> missing, unexpected;
    std::set_difference(expected.begin(), expected.end(), listed.begin(), listed.end(),
                        std::back_inserter(missing));
    std::set_difference(listed.begin(), listed.end(), expected.begin(), expected.end(),
                        std::back_inserter(unexpected));
    // The owner lookup's own call finds every connection; Wine names no process for those that
    // Linux processes hold.
    const auto look = SystemOwnerLookup()(std::stop_token{});
    for (const TcpRow& row : table.rows)
        CHECK(look->OwnerOf(row).kind == OwnerFacts::Kind::Closing);
    PrintAll("missing:", missing);
    PrintAll("unexpected:", unexpected);
    std::printf("%zu rows listed, %zu expected\n", listed.size(), expected.size());
    return Failed();
}
