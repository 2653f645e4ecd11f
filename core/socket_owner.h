#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/tcp_row.h"

// Which process holds a connection, and as which user.

struct OwnerFacts {
    enum class Process {
        Running,  // name, pid and user are known
        Closing,  // no process holds the socket any more
        Hidden,   // another user's process that we may not see; the user is known where told
        Ended,    // the process (or its socket) is gone since the snapshot
        Unknown,  // the lookup itself failed; `why` says why
    };
    Process process = Process::Unknown;
    std::string name;
    std::uint32_t pid = 0;
    std::string user;  // empty when not known
    std::string why;
};

// The text that tells a connection's owner: "Process: NAME (PID N)" and "User: NAME" on the
// next line, or what is known instead. A new connection's text starts with a line that says so.
std::string OwnerText(const OwnerFacts& owner, bool isNew);

// What one look at the system found: it answers for every connection of one snapshot.
class OwnerMap {
public:
    virtual ~OwnerMap() = default;
    virtual OwnerFacts OwnerOf(const TcpRow& row) = 0;
};

// Takes that one look. SystemOwnerScan is the platform's own.
using OwnerScan = std::function<std::unique_ptr<OwnerMap>()>;
OwnerScan SystemOwnerScan();

// The owners of one snapshot's connections. Looking at every process costs far more than one
// refresh, so nothing is looked up until the first question after a snapshot; that one look
// then answers every question until the next snapshot.
class SocketOwners {
public:
    explicit SocketOwners(OwnerScan scan = SystemOwnerScan()) : scan_(std::move(scan)) {}

    // A new snapshot: the next question looks again.
    void Forget() { found_.reset(); }

    OwnerFacts Owner(const TcpRow& row) {
        if (!found_) found_ = scan_();
        return found_->OwnerOf(row);
    }

private:
    OwnerScan scan_;
    std::unique_ptr<OwnerMap> found_;
};
