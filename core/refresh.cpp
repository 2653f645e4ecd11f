#include "core/refresh.h"

#include <algorithm>

RefreshResult Refresh(TcpTable table, SnapshotKeys previous, const Filters& filters) {
    std::vector<TcpRow>& rows = table.rows;
    RefreshResult result;
    result.isNew = previous ? NewConnections(*previous, rows) : std::vector<bool>(rows.size());
    result.failure = std::move(table.failure);
    if (result.failure.empty()) {
        previous.reset();  // before the next keys are built beside it
        result.nextKeys.emplace();
        result.nextKeys->reserve(rows.size());
        for (const TcpRow& row : rows) result.nextKeys->push_back(KeyOf(row));
    } else {
        result.nextKeys = std::move(previous);
    }
    // The shown rows and their flags move up in place over the hidden ones.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (filters.hides(rows[i])) continue;
        rows[kept] = rows[i];
        result.isNew[kept++] = result.isNew[i];
    }
    result.hidden = rows.size() - kept;
    rows.resize(kept);
    result.isNew.resize(kept);
    // Given back only when most of the table is hidden, so that the copy stays small.
    if (result.hidden > kept) rows.shrink_to_fit();
    result.newShown = static_cast<std::size_t>(std::ranges::count(result.isNew, true));
    result.shown = std::move(rows);
    return result;
}
