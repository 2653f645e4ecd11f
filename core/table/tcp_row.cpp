#include "core/table/tcp_row.h"

#include <algorithm>
#include <tuple>
#include <utility>

Ipv4Address AddressField(std::uint32_t hostOrderAddress) {
    return {static_cast<std::uint8_t>(hostOrderAddress >> 24),
            static_cast<std::uint8_t>(hostOrderAddress >> 16),
            static_cast<std::uint8_t>(hostOrderAddress >> 8),
            static_cast<std::uint8_t>(hostOrderAddress)};
}

NetworkPort PortField(std::uint16_t port) {
    return {static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port)};
}

std::uint16_t PortNumber(const NetworkPort& port) {
    return static_cast<std::uint16_t>(port[0] * 256 + port[1]);
}

ConnectionFields FieldsOf(const TcpRow& r) {
    return {r.localAddress, r.localPort, r.remoteAddress, r.remotePort};
}

ConnectionKey KeyOf(const TcpRow& row) { return {FieldsOf(row), row.holderKey}; }

bool TableOrder(const TcpRow& a, const TcpRow& b) { return FieldsOf(a) < FieldsOf(b); }

bool SameConnection(const TcpRow& a, const TcpRow& b) { return FieldsOf(a) == FieldsOf(b); }

namespace {

// Whether one of the previous keys may be the row's socket, after stepping `at` over those
// whose fields come before the row's. Several sockets may share the fields (listeners on one
// port): the row is seen when any of them may be its socket.
bool Seen(std::span<const ConnectionKey> previous, std::size_t& at, const TcpRow& row) {
    const ConnectionFields fields = FieldsOf(row);
    while (at < previous.size() && previous[at].fields < fields) ++at;
    for (std::size_t same = at; same < previous.size() && previous[same].fields == fields; ++same) {
        const std::uint32_t holderKey = previous[same].holderKey;
        if (holderKey == 0 || row.holderKey == 0 || holderKey == row.holderKey) return true;
    }
    return false;
}

}  // namespace

std::vector<bool> NewConnections(std::span<const ConnectionKey> previous,
                                 const std::vector<TcpRow>& current) {
    std::vector<bool> isNew(current.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < current.size(); ++i) isNew[i] = !Seen(previous, at, current[i]);
    return isNew;
}

namespace {
// The sort key in 16-bit digits, least significant first.
using Digit = std::uint16_t (*)(const TcpRow&);
constexpr Digit SortDigits[] = {
    [](const TcpRow& r) { return PortNumber(r.remotePort); },
    [](const TcpRow& r) { return std::uint16_t(r.remoteAddress[2] << 8 | r.remoteAddress[3]); },
    [](const TcpRow& r) { return std::uint16_t(r.remoteAddress[0] << 8 | r.remoteAddress[1]); },
    [](const TcpRow& r) { return PortNumber(r.localPort); },
    [](const TcpRow& r) { return std::uint16_t(r.localAddress[2] << 8 | r.localAddress[3]); },
    [](const TcpRow& r) { return std::uint16_t(r.localAddress[0] << 8 | r.localAddress[1]); },
};

// A stable radix sort: on a busy machine's table several times faster than comparing rows.
void RadixSort(std::vector<TcpRow>& rows) {
    std::vector<TcpRow> other(rows.size());
    std::vector<std::size_t> start(1 << 16);
    for (Digit digit : SortDigits) {
        std::fill(start.begin(), start.end(), 0);
        for (const TcpRow& row : rows) ++start[digit(row)];
        if (std::find(start.begin(), start.end(), rows.size()) != start.end())
            continue;  // every row has the same digit here
        std::size_t sum = 0;
        for (std::size_t& count : start) sum += std::exchange(count, sum);
        for (const TcpRow& row : rows) other[start[digit(row)]++] = row;
        rows.swap(other);
    }
}

// Below this, the radix sort's fixed cost outweighs what it saves.
constexpr std::size_t RadixSortFrom = 2048;
}  // namespace

void SortIntoTableOrder(std::vector<TcpRow>& rows) {
    if (rows.size() < RadixSortFrom)
        std::stable_sort(rows.begin(), rows.end(), TableOrder);
    else
        RadixSort(rows);
}

std::vector<TcpRow> MergedInTableOrder(std::span<const std::vector<TcpRow>> tables) {
    std::vector<std::span<const TcpRow>> rest(tables.begin(), tables.end());
    std::size_t total = 0;
    for (const auto& table : tables) total += table.size();
    std::vector<TcpRow> merged;
    merged.reserve(total);
    while (merged.size() < total) {
        std::span<const TcpRow>* first = nullptr;
        for (std::span<const TcpRow>& table : rest)
            if (!table.empty() && (!first || TableOrder(table.front(), first->front())))
                first = &table;
        merged.push_back(first->front());
        *first = first->subspan(1);
    }
    return merged;
}

void SortAndDropSocketsListedTwice(std::vector<TcpRow>& rows) {
    SortIntoTableOrder(rows);
    // Rows of one socket share its fields. Runs of equal fields are rare and short; a repeat need
    // not sit next to its first listing, so each run is put in socket order first.
    const auto bySocket = [](const TcpRow& a, const TcpRow& b) {
        return std::tie(a.holderKey, a.state, a.uid) < std::tie(b.holderKey, b.state, b.uid);
    };
    const auto sameSocket = [](const TcpRow& a, const TcpRow& b) {
        return SameConnection(a, b) && (a.holderKey != 0 ? a.holderKey == b.holderKey : a == b);
    };
    const auto first = std::adjacent_find(rows.begin(), rows.end(), SameConnection);
    for (auto run = first; run != rows.end();) {
        const auto end = std::find_if_not(
            run + 1, rows.end(), [&](const TcpRow& row) { return SameConnection(row, *run); });
        std::sort(run, end, bySocket);
        run = std::adjacent_find(end, rows.end(), SameConnection);
    }
    rows.erase(std::unique(first, rows.end(), sameSocket), rows.end());
}
