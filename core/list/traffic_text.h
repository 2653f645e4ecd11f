#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "core/table/socket_now.h"
#include "core/table/tcp_row.h"

// "0 B" to "1023 B", then KB, MB and GB with one decimal (1 KB = 1024 B).
std::string SizeText(std::uint64_t bytes);

// "N ms" under a second, "N s" under a minute, "N min" under an hour, then "N h".
std::string DurationText(std::chrono::milliseconds duration);

// "Traffic now: S sent, R received, last data T ago, round trip X ms" for a connection, with the
// parts the system gives; "Traffic now: looking up..." until `now` is in, and "Traffic now: not
// visible without administrator rights" where the system refuses. Empty for a listener and a
// connection the system no longer has or gives no figures for.
std::string TrafficLine(const TcpRow& row, const std::optional<SocketNow>& now);

// "Waiting to be accepted: N of at most M" for a listener whose queue the system gives; empty
// otherwise.
std::string QueueLine(const std::optional<SocketNow>& now);
