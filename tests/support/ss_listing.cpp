#include "ss_listing.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>

#include "Module1.h"

std::string RunSs(const char* options) {
    FILE* pipe = popen((std::string("ss -H ") + options + " 2>/dev/null").c_str(), "r");
    if (!pipe) return {};
    std::string output;
    char chunk[4096];
    for (std::size_t count; (count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, count);
    return pclose(pipe) == 0 ? output : std::string();
}

std::vector<TcpRow> RowsFromSsListing(std::string_view listing) {
    // State, both queues, then the two ends; a line with an end that is not IPv4 does not match.
    static const std::regex kLine(R"(\s*(\S+)\s+\d+\s+\d+\s+(?:\[::ffff:)?([\d.]+)\]?:(\d+|\*))"
                                  R"(\s+(?:\[::ffff:)?([\d.]+)\]?:(\d+|\*)\s*)");
    // ss's state names at the index of their platform state code.
    static constexpr std::string_view kSsStates[] = {
        "",           "UNCONN",     "LISTEN",     "SYN-SENT", "SYN-RECV", "ESTAB",
        "FIN-WAIT-1", "FIN-WAIT-2", "CLOSE-WAIT", "CLOSING",  "LAST-ACK", "TIME-WAIT"};
    std::vector<TcpRow> rows;
    std::istringstream lines{std::string(listing)};
    std::smatch field;
    const auto address = [&](int i) {
        return AddressField(ntohl(inet_addr(field.str(i).c_str())));
    };
    // ss writes port 0 as "*".
    const auto port = [&](int i) {
        return PortField(field[i] == "*" ? 0 : std::stoi(field.str(i)));
    };
    for (std::string line; std::getline(lines, line);) {
        if (!std::regex_match(line, field, kLine)) continue;
        const auto state = std::find(std::begin(kSsStates), std::end(kSsStates), field.str(1));
        rows.push_back({state == std::end(kSsStates) ? 0 : int(state - std::begin(kSsStates)),
                        address(2), port(3), address(4), port(5)});
    }
    SortIntoPlatformOrder(rows);
    return rows;
}

QStringList RowTexts(const std::vector<TcpRow>& rows) {
    QStringList texts;
    for (const TcpRow& row : rows)
        texts << QStringLiteral("%1 %2:%3 %4:%5")
                     .arg(QString::fromUtf8(StateName(row.state - 1)),
                          QString::fromStdString(IpText(row.localAddress)))
                     .arg(PortNumber(row.localPort))
                     .arg(QString::fromStdString(IpText(row.remoteAddress)))
                     .arg(PortNumber(row.remotePort));
    return texts;
}
