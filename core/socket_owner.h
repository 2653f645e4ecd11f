#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "core/tcp_row.h"

// Which processes hold a connection, and as which users.

struct OwnerFacts {
    enum class Kind {
        Held,     // by the processes in `holders`
        Queued,   // in a listener's queue, not yet accepted; `holders` hold the listener, if known
        Closing,  // no process holds the socket: the connection is closing
        Closed,   // no process holds the socket, and every process could be read
        Hidden,   // no process we could read holds it; `users` has the socket's user
        Unknown,  // the look itself failed; `why` says why
    };
    struct Holder {
        std::uint32_t pid = 0;
        std::string name;
    };
    Kind kind = Kind::Unknown;
    std::vector<Holder> holders;     // lowest pid first
    std::vector<std::string> users;  // the holders' distinct users; empty when not known
    std::string why;
};

// What one look at every process found; answers for every connection of one snapshot. Built on
// a thread of its own, then only read, from any thread.
class OwnerIndex {
public:
    virtual ~OwnerIndex() = default;
    virtual OwnerFacts OwnerOf(const TcpRow& row) const = 0;
};

// Takes that one look, on the caller's thread, which should run below the window's priority
// (any helper threads inherit it); stops early and returns nullptr once `stop` is requested (a
// newer snapshot discards it). User names are resolved inside.
using OwnerLookup = std::function<std::shared_ptr<const OwnerIndex>(const std::vector<TcpRow>& rows,
                                                                    std::stop_token stop)>;
OwnerLookup SystemOwnerLookup();

// The tooltip / accessible description of a row: `look` null means the look is still running
// ("Process: looking up..."). A new row's text starts with "New since the last refresh\n".
std::string OwnerText(const OwnerIndex* look, const TcpRow& row, bool isNew);
