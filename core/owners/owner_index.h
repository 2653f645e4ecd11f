#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/table/tcp_row.h"

// Which processes hold a connection, and as which users: what one look at the processes found,
// and the index that answers from it. The index is pure, so that every answer can be tested from
// a table made by hand.

struct OwnerFacts {
    enum class Kind {
        Held,     // by the processes in `holders`
        Queued,   // in a listener's queue, not yet accepted; `holders` hold the listener, if known
        Closing,  // no process holds the socket: the connection is closing
        Closed,   // no process holds the socket, and every process could be read
        Hidden,   // no process we could read holds it; `users` has the socket's user, if known
        Unknown,  // the look itself failed; `why` says why
    };
    struct Holder {
        std::uint32_t pid = 0;
        std::string name;
        std::string path;  // of its executable; empty when it cannot be read
    };
    Kind kind = Kind::Unknown;
    std::vector<Holder> holders;     // lowest pid first
    std::vector<std::string> users;  // the holders' distinct users; empty when not known
    std::string why;
};

// What a row without a socket (socket 0) means on the platform that listed it.
enum class NoSocket {
    // Linux: a connection still in its listener's queue (SYN-RECV, ESTABLISHED, CLOSE-WAIT), or
    // else one that is closing.
    QueuedOrClosing,
    // Windows, where 0 is the idle process's ID: a closing connection in a closing state, or
    // else one that no process the system shows holds (Wine: held by a program outside Wine).
    ClosingOrUnseen,
};

// What one look at the processes found.
struct ProcessTable {
    struct Process {
        std::uint32_t pid = 0;
        std::uint32_t uid = 0;  // effective user; Windows has none
        std::string name;
        std::string user;                    // the effective user's name
        std::vector<std::uint32_t> sockets;  // in its descriptor tables, in any order
        std::string path;                    // of its executable; empty when it cannot be read
    };
    std::vector<Process> processes;  // those that hold sockets
    bool someUnreadable = false;     // some processes' sockets could not be read
    NoSocket noSocket = NoSocket::QueuedOrClosing;
    std::vector<Listener> listeners;
    std::vector<std::pair<std::uint32_t, std::string>> rowUsers;  // uid, name: the rows' users
    std::string failure;  // why the look failed; then every answer is unknown
};

// The owners of the rows of one snapshot, keeping only what those rows need. Immutable; answers
// from any thread.
class OwnerIndex {
public:
    OwnerIndex(const ProcessTable& table, const std::vector<TcpRow>& rows);
    OwnerFacts ownerOf(const TcpRow& row) const;

private:
    struct Process {
        std::uint32_t pid;
        std::uint32_t user;  // in users_
        std::string name;
        std::string path;
    };
    void addHolders(std::uint32_t socket, std::vector<std::uint32_t>& processes) const;
    std::vector<std::uint32_t> listenersOf(const TcpRow& row) const;
    OwnerFacts facts(OwnerFacts::Kind kind, std::vector<std::uint32_t> processes) const;

    std::vector<Process> processes_;                                // by pid
    std::vector<std::string> users_;                                // distinct
    std::vector<std::pair<std::uint32_t, std::uint32_t>> holders_;  // socket, process
    std::vector<Listener> listeners_;                               // in ListenerKey order
    std::vector<std::pair<std::uint32_t, std::string>> rowUsers_;   // by uid
    NoSocket noSocket_;
    bool someUnreadable_;
    std::string failure_;
};

// An index whose every answer is unknown, for the reason `why`.
std::shared_ptr<const OwnerIndex> FailedIndex(const std::string& why);

// Runs a look; whatever it throws (no memory, no thread, anything) gives an index whose every
// answer is unknown, with the reason. Null when the look was stopped.
std::shared_ptr<const OwnerIndex> IndexOrFailure(
    const std::function<std::shared_ptr<const OwnerIndex>()>& look) noexcept;
