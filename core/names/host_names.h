#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/names/host_lookup.h"
#include "core/names/remote_host.h"
#include "core/table/tcp_row.h"

// The names of the remote hosts whose rows were asked about, each looked up once when first
// asked for, beside the window: at most four lookups at a time, the others queued. An answer is
// kept for ten minutes; none comes later than `deadline` after its lookup started (the lookup
// still running then counts as no name). Nothing waits for a lookup, not even the destructor: a
// lookup cannot be cancelled, so it finishes on its own thread, which holds only shared state.
class HostNames {
public:
    // `answered` is told of each answer, on the lookup's thread, never once the destructor ran.
    HostNames(HostLookup lookup, std::function<void(const Ipv4Address&)> answered,
              std::chrono::milliseconds deadline = std::chrono::seconds(5));
    ~HostNames();
    HostNames(const HostNames&) = delete;
    HostNames& operator=(const HostNames&) = delete;

    // The answer known for the row's remote address, which is looked up when none is known: only
    // reads under a lock and queues.
    HostAnswer answerFor(const TcpRow& row) const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};
