#include "core/list/refresh.h"

#include <algorithm>

#include "core/base/sort_unique.h"

RefreshResult Refresh(TcpTable table, std::optional<PreviousSnapshot> previous,
                      const Filters& filters) {
    std::vector<TcpRow>& rows = table.rows;
    RefreshResult result;
    result.isNew = previous ? NewConnections(*previous->shown, previous->hidden, rows)
                            : std::vector<bool>(rows.size());
    result.failure = std::move(table.failure);
    // The shown rows and their flags move up in place over the hidden ones, whose keys are kept.
    std::vector<ConnectionKey> hiddenKeys;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].state == TcpState::Listen) result.listeningPorts.push_back(rows[i].localPort);
        if (filters.hides(rows[i])) {
            hiddenKeys.push_back(KeyOf(rows[i]));
            continue;
        }
        rows[kept] = rows[i];
        result.isNew[kept++] = result.isNew[i];
    }
    result.hidden = rows.size() - kept;
    rows.resize(kept);
    result.isNew.resize(kept);
    // Given back only when most of the table is hidden, so that the copy stays small.
    if (result.hidden > kept) rows.shrink_to_fit();
    result.newShown = static_cast<std::size_t>(std::ranges::count(result.isNew, true));
    SortUnique(result.listeningPorts);
    result.shown = std::make_shared<const std::vector<TcpRow>>(std::move(rows));
    if (result.failure.empty())
        result.next = PreviousSnapshot{result.shown, std::move(hiddenKeys)};
    else
        result.next = std::move(previous);
    return result;
}
