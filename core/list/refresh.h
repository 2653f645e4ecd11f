#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/list/filters.h"
#include "core/table/tcp_row.h"

// The rows a refresh shows, shared with whoever shows or explains them.
using ShownRows = std::shared_ptr<const std::vector<TcpRow>>;

// The last snapshot that was read, to tell which connections are new: the rows it showed, which
// the list holds anyway, and the keys of those it hid.
struct PreviousSnapshot {
    ShownRows shown;
    std::vector<ConnectionKey> hidden;
};

// What the next refresh compares with: the keys of every connection of the snapshot, in table
// order. Taken before the table is read, once the list has let go of the rows, which then go:
// the old table is not kept whole beside the new one.
std::vector<ConnectionKey> KeysOf(PreviousSnapshot previous);

// What one refresh shows.
struct RefreshResult {
    ShownRows shown;          // the rows no filter hides, in the table's order
    std::vector<bool> isNew;  // one flag per shown row
    std::size_t hidden = 0;
    std::size_t newShown = 0;
    // The local ports that this machine listens on in the snapshot, hidden rows included, sorted:
    // the server's end of a connection to one of them is this machine's.
    std::vector<NetworkPort> listeningPorts;
    std::optional<PreviousSnapshot> next;  // what the next refresh compares with
    std::string failure;                   // why the table could not be read; empty when it was
};

// One refresh from a snapshot, which it consumes: the shown rows are the table's own, so the
// table is never held twice. Nothing is new at the first snapshot (no previous one). The next
// refresh compares with every connection of this one, hidden or not; a table that could not be
// read is no snapshot, so the previous one carries over.
RefreshResult Refresh(TcpTable table, std::optional<std::vector<ConnectionKey>> previous,
                      const Filters& filters);
