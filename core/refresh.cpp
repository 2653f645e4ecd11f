#include "core/refresh.h"

#include <algorithm>

RefreshResult Refresh(const TcpTable& table, SnapshotKeys previous, const Filters& filters) {
    const std::vector<bool> isNew =
        previous ? NewConnections(*previous, table.rows) : std::vector<bool>(table.rows.size());
    RefreshResult result;
    result.shown.reserve(table.rows.size());
    result.isNew.reserve(table.rows.size());
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        if (filters.Hides(table.rows[i])) continue;
        result.shown.push_back(table.rows[i]);
        result.isNew.push_back(isNew[i]);
    }
    result.hidden = table.rows.size() - result.shown.size();
    result.newShown = static_cast<std::size_t>(std::ranges::count(result.isNew, true));
    if (!table.readable()) {
        result.nextKeys = std::move(previous);
        return result;
    }
    result.nextKeys.emplace();
    result.nextKeys->reserve(table.rows.size());
    for (const TcpRow& row : table.rows) result.nextKeys->push_back(KeyOf(row));
    return result;
}
