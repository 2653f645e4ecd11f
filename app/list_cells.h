#pragma once

#include <string>

#include "snapshot/tcp_row.h"

// The connection list's columns.
inline constexpr int kListColumnCount = 5;

// The text of one cell of the connection list: local IP, local port, remote IP, remote port
// ("0" for a listening connection) and state name. Empty for a column outside 0 to 4.
std::string ListCellText(const TcpRow& row, int column);
