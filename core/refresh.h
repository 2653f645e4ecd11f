#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/filters.h"
#include "core/tcp_row.h"

// The connections of the last snapshot that was read, to tell which ones are new; nothing
// before the first.
using SnapshotKeys = std::optional<std::vector<ConnectionKey>>;

// What one refresh shows.
struct RefreshResult {
    std::vector<TcpRow> shown;  // the rows no filter hides, in the table's order
    std::vector<bool> isNew;    // one flag per shown row
    std::size_t hidden = 0;
    std::size_t newShown = 0;
    SnapshotKeys nextKeys;  // what the next refresh compares with
    std::string failure;    // why the table could not be read; empty when it was
};

// One refresh from a snapshot, which it consumes: the shown rows are the table's own, so the
// table is never held twice. Nothing is new at the first snapshot. The next refresh compares
// with every connection of this one, hidden or not; a table that could not be read is no
// snapshot, so the previous keys carry over.
RefreshResult Refresh(TcpTable table, SnapshotKeys previous, const Filters& filters);
