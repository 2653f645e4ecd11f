#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/base/lookups_on_demand.h"

// The name that the system's services database gives a TCP port ("https" for 443); nothing when
// it has none. Waits for the database, which may be remote (NIS, LDAP): runs beside the window.
using ServiceLookup = std::function<std::optional<std::string>(std::uint16_t port)>;
ServiceLookup SystemServiceLookup();

// Two at a time, five seconds each at most, kept ten minutes for the 256 ports asked last.
inline constexpr LookupLimits ServiceNameLimits{2, 2, std::chrono::seconds(5),
                                                std::chrono::minutes(10), 256};

// The names of the services whose rows were asked about.
using ServiceNames = LookupsOnDemand<std::uint16_t, std::optional<std::string>>;
