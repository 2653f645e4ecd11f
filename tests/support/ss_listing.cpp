#include "tests/support/ss_listing.h"

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>

#include "core/list/clipboard_text.h"
#include "tests/support/rows.h"

std::string RunSs(const char* options) {
    FILE* pipe = popen((std::string("ss -H ") + options + " 2>/dev/null").c_str(), "r");
    std::string output;
    for (int c; pipe && (c = std::fgetc(pipe)) != EOF;) output += char(c);
    return pipe && pclose(pipe) == 0 ? output : std::string();
}

std::vector<TcpRow> RowsFromSsListing(std::string_view listing) {
    // State, both queues, then the two ends; a line with an end that is not IPv4 does not match.
    static const std::regex Line(R"(\s*(\S+)\s+\d+\s+\d+\s+(?:\[::ffff:)?([\d.]+)\]?:(\d+|\*))"
                                 R"(\s+(?:\[::ffff:)?([\d.]+)\]?:(\d+|\*)\s*)");
    // ss's state names at the index of their state code.
    static constexpr std::string_view SsStates[] = {
        "",           "UNCONN",     "LISTEN",     "SYN-SENT", "SYN-RECV", "ESTAB",
        "FIN-WAIT-1", "FIN-WAIT-2", "CLOSE-WAIT", "CLOSING",  "LAST-ACK", "TIME-WAIT"};
    std::vector<TcpRow> rows;
    std::istringstream lines{std::string(listing)};
    std::smatch field;
    // ss writes port 0 as "*".
    const auto port = [&](int i) { return field[i] == "*" ? 0 : std::stoi(field[i]); };
    for (std::string line; std::getline(lines, line);) {
        if (!std::regex_match(line, field, Line)) continue;
        // A name missing from the table finds its end, which wraps round to 0.
        const auto state = std::ranges::find(SsStates, field.str(1)) - std::begin(SsStates);
        rows.push_back(Row(state % std::size(SsStates), field.str(2).c_str(), port(3),
                           field.str(4).c_str(), port(5)));
    }
    // The comparison of tables of 2048 rows or more checks this order against the radix sort's.
    std::ranges::sort(rows, TableOrder);
    return rows;
}

QStringList RowTexts(const std::vector<TcpRow>& rows) {
    const auto text = ClipboardText({true, true, true, true, true}, rows);
    return QString::fromStdString(text.value_or("")).split("\r\n", Qt::SkipEmptyParts);
}
