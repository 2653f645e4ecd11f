#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "core/base/lookups_on_demand.h"
#include "core/table/tcp_row.h"

// Asks the system's resolver for the name of an address (a reverse lookup), waiting for the
// answer; nullopt when it has none. Runs on background threads only.
using HostLookup = std::function<std::optional<std::string>(const Ipv4Address&)>;
HostLookup SystemHostLookup();

// Host names are looked up four at a time; a lookup that the resolver has not answered in five
// seconds counts as no name and leaves its thread waiting, eight such threads at most. Answers
// are kept for ten minutes, for the 1024 addresses asked last.
inline constexpr LookupLimits HostNameLimits{4, 8, std::chrono::seconds(5),
                                             std::chrono::minutes(10), 1024};

// The names of the remote hosts whose rows were asked about.
using HostNames = LookupsOnDemand<Ipv4Address, std::optional<std::string>>;
