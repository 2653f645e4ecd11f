#pragma once

#include <optional>
#include <string>

#include "core/table/socket_now.h"
#include "core/table/tcp_row.h"

// "Traffic now: S sent, R received, last data T ago, round trip X ms" for a connection, with the
// parts the system gives ("no data yet" in place of the last data while none came either way);
// "Traffic since HH:MM:SS: ..." where the system counts only from that moment ("since before"
// when it counted already then). "Traffic now: looking up..." until `now` is in, and "Traffic
// now: not visible without administrator rights" where the system refuses. Empty for a listener
// and a connection the system no longer has or gives no figures for.
std::string TrafficLine(const TcpRow& row, const std::optional<SocketNow>& now);
