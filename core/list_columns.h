#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/row_text.h"
#include "core/tcp_row.h"

// The five columns of the connection list: what the list's header says, what the copy window
// calls the column, how the cells are aligned, and each cell's text. The list, the copy window
// and the clipboard text all read them from here.

enum class CellAlignment { Left, Centre };

struct ListColumn {
    std::string_view header;
    std::string_view copyChoice;
    CellAlignment alignment;
    std::string (*text)(const TcpRow& row);
};

inline constexpr int kListColumnCount = 5;

// Local IP, local port, remote IP, remote port ("0" for a listening connection), state name.
inline constexpr std::array<ListColumn, kListColumnCount> kListColumns = {{
    {"Local IP", "Local IP", CellAlignment::Left,
     [](const TcpRow& row) { return IpText(row.localAddress); }},
    {"Local Port", "Local Port", CellAlignment::Centre,
     [](const TcpRow& row) { return std::to_string(PortNumber(row.localPort)); }},
    {"Remote IP", "Remote IP", CellAlignment::Centre,
     [](const TcpRow& row) { return IpText(row.remoteAddress); }},
    {"Remote Port", "Remote Port", CellAlignment::Centre,
     [](const TcpRow& row) {
         return row.state == TcpState::Listen ? std::string("0")
                                              : std::to_string(PortNumber(row.remotePort));
     }},
    {"Status", "State", CellAlignment::Centre,
     [](const TcpRow& row) { return std::string(StateName(row.state)); }},
}};
