#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/table/tcp_row.h"

// The texts of a row's fields, for display and for matching.

// Dotted-decimal text of four address bytes in storage order: 192.168.1.10.
std::string IpText(const Ipv4Address& address);

// The name of a TcpState code; "UNDEFINED" for any other value.
std::string_view StateName(std::uint8_t stateCode);

// The five cells of a row, in list order: local address, local port, remote address, remote
// port ("0" for a listening connection) and state name.
inline constexpr std::size_t CellCount = 5;
std::string CellText(std::size_t cell, const TcpRow& row);
