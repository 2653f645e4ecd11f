#include "core/list/refresh.h"

#include <algorithm>
#include <iterator>

#include "core/base/sort_unique.h"

std::vector<ConnectionKey> KeysOf(PreviousSnapshot previous) {
    std::vector<ConnectionKey> keys;
    keys.reserve(previous.shown->size() + previous.hidden.size());
    auto hidden = previous.hidden.begin();
    for (const TcpRow& row : *previous.shown) {
        const ConnectionKey key = KeyOf(row);
        for (; hidden != previous.hidden.end() && hidden->fields < key.fields; ++hidden)
            keys.push_back(*hidden);
        keys.push_back(key);
    }
    keys.insert(keys.end(), hidden, previous.hidden.end());
    return keys;
}

RefreshResult Refresh(TcpTable table, std::optional<std::vector<ConnectionKey>> previous,
                      const Filters& filters) {
    std::vector<TcpRow>& rows = table.rows;
    RefreshResult result;
    result.isNew = previous ? NewConnections(*previous, rows) : std::vector<bool>(rows.size());
    result.failure = std::move(table.failure);
    // The shown rows and their flags move up in place over the hidden ones, whose keys are kept.
    std::vector<ConnectionKey> hiddenKeys;
    const FilterMatch matching(filters);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].state == TcpState::Listen) result.listeningPorts.push_back(rows[i].localPort);
        if (matching.hides(rows[i])) {
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
    std::ranges::copy(table.moreListeningPorts, std::back_inserter(result.listeningPorts));
    SortUnique(result.listeningPorts);
    result.shown = std::make_shared<const std::vector<TcpRow>>(std::move(rows));
    if (result.failure.empty())
        result.next = PreviousSnapshot{result.shown, std::move(hiddenKeys)};
    else if (previous)
        result.next =
            PreviousSnapshot{std::make_shared<const std::vector<TcpRow>>(), std::move(*previous)};
    return result;
}
