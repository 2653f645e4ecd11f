#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/table/tcp_row.h"

// Asks the system's resolver for the name of an address (a reverse lookup), waiting for the
// answer; nullopt when it has none. Runs on background threads only.
using HostLookup = std::function<std::optional<std::string>(const Ipv4Address&)>;
HostLookup SystemHostLookup();
