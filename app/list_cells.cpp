#include "app/list_cells.h"

#include "snapshot/Module1.h"

std::string ListCellText(const TcpRow& row, int column) {
    switch (column) {
        case 0: return IpText(row.localAddress);
        case 1: return std::to_string(PortNumber(row.localPort));
        case 2: return IpText(row.remoteAddress);
        case 3:
            return row.state == TcpState::Listen ? "0"
                                                 : std::to_string(PortNumber(row.remotePort));
        case 4: return std::string(StateName(std::int64_t{row.state} - 1));
        default: return {};
    }
}
