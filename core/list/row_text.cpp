#include "core/list/row_text.h"

#include <array>
#include <charconv>

std::string IpText(const Ipv4Address& address) {
    char text[16];
    char* end = text;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0) *end++ = '.';
        end = std::to_chars(end, text + sizeof text, address[i]).ptr;
    }
    return std::string(text, end);
}

std::string_view StateName(std::uint8_t stateCode) {
    static constexpr std::array<std::string_view, 12> names = {
        "CLOSED",    "LISTEN",     "SYN_SENT", "SYN_RCVD", "ESTAB",     "FIN_WAIT1",
        "FIN_WAIT2", "CLOSE_WAIT", "CLOSING",  "LAST_ACK", "TIME_WAIT", "DELETE_TCB"};
    if (stateCode < 1 || stateCode > names.size()) return "UNDEFINED";
    return names[static_cast<std::size_t>(stateCode - 1)];
}

std::string CellText(std::size_t cell, const TcpRow& row) {
    switch (cell) {
        case 0: return IpText(row.localAddress);
        case 1: return std::to_string(PortNumber(row.localPort));
        case 2: return IpText(row.remoteAddress);
        case 3:
            return row.state == TcpState::Listen ? "0" : std::to_string(PortNumber(row.remotePort));
        case 4: return std::string(StateName(row.state));
        default: return {};
    }
}
