#pragma once

#include <string_view>
#include <vector>

#include "core/table/tcp_row.h"

// Parsing of the kernel's text tables /proc/net/tcp and /proc/net/tcp6.

enum class ProcTcpFile { Tcp, Tcp6 };

// Appends one row per socket line of the file's text. Lines that do not parse (the heading
// among them) are skipped; from tcp6 only sockets whose two addresses are IPv4-mapped are kept.
void ParseProcNetTcp(std::string_view text, ProcTcpFile file, std::vector<TcpRow>& rows);
