#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/table/tcp_row.h"

// What the system tells of one socket at the moment it is asked, beyond the table's fields.

// A connection's data so far.
struct Traffic {
    std::uint64_t bytesSent = 0;  // and acknowledged
    std::uint64_t bytesReceived = 0;
    std::optional<std::chrono::milliseconds> sinceLastData;  // either way, where the system says
    std::optional<std::chrono::microseconds> roundTrip;      // smoothed
    // No byte either way yet: the system's time of the last data then runs from the set-up.
    bool noDataYet = false;
    // Where the system counts a connection's bytes only from a moment on, the local time of day
    // of that moment; `countedSinceBefore` when collection was on already at that moment (another
    // program switched it on), so that the figures may count from earlier.
    std::optional<std::chrono::seconds> countedSince;
    bool countedSinceBefore = false;
    bool operator==(const Traffic&) const = default;
};

// A listener's queue of connections that its program has not yet accepted.
struct AcceptQueue {
    std::uint32_t waiting = 0;
    std::uint32_t limit = 0;
    bool operator==(const AcceptQueue&) const = default;
};

struct SocketNow {
    enum class Kind {
        Gone,     // the system no longer has the row's socket
        Refused,  // the system keeps its figures to administrators
        Seen,
    };
    Kind kind = Kind::Gone;
    std::optional<Traffic> traffic;    // for a connection, where the system gives it
    std::optional<AcceptQueue> queue;  // for a listener, where the system gives it
    bool operator==(const SocketNow&) const = default;
};

// Asks the system about the row's socket, checked against the row's holder key where the
// platform can: Linux one SOCK_DIAG_BY_FAMILY request for that socket (for a listener, a dump of
// the listeners on its port, as listeners may share it), Windows its extended statistics, which
// it collects for a connection once an administrator's program switches collection on: the
// first question does. Waits for the answer: run it beside the window.
using SocketLookup = std::function<SocketNow(const TcpRow&)>;
SocketLookup SystemSocketLookup();
