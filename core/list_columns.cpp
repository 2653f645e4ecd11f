#include "core/list_columns.h"

#include "core/row_text.h"

const std::array<ListColumn, kListColumnCount> kListColumns = {{
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
