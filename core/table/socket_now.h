#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "core/table/tcp_row.h"

// What the system tells of one socket at the moment it is asked, beyond the table's fields.

// A connection's data so far.
struct Traffic {
    std::uint64_t bytesSent = 0;  // and acknowledged
    std::uint64_t bytesReceived = 0;
    std::optional<std::chrono::milliseconds> sinceLastData;  // either way, where the system says
    std::optional<std::chrono::microseconds> roundTrip;      // smoothed
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
        Refused,  // the system keeps its figures to administrators, or does not collect them
        Seen,
    };
    Kind kind = Kind::Gone;
    std::optional<Traffic> traffic;    // for a connection, where the system gives it
    std::optional<AcceptQueue> queue;  // for a listener, where the system gives it
    bool operator==(const SocketNow&) const = default;
};

// Asks the system about the row's socket, checked against the row's holder key where the
// platform can: Linux one SOCK_DIAG_BY_FAMILY request for that socket, Windows its extended
// statistics. Waits for the answer: run it beside the window.
SocketNow LookAtSocketNow(const TcpRow& row);
