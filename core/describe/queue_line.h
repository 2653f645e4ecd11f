#pragma once

#include <optional>
#include <string>

#include "core/table/socket_now.h"

// "Waiting to be accepted: N of at most M" for a listener whose queue the system gives; empty
// otherwise.
std::string QueueLine(const std::optional<SocketNow>& now);
