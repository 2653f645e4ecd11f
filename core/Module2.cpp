#include "Module2.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "Module1.h"

FilterList LocalIPList;
FilterList LocalPortList;
FilterList RemoteIPList;
FilterList RemotePortList;

void SetInitialFilters() {
    LocalIPList = {"0.0.0.0", "127.0.0.1"};
    LocalPortList = {};
    RemoteIPList = {"192.168.1.1", "0.0.0.0"};
    RemotePortList = {};
}

FilterList* FilterListOf(FilterKind kind) {
    switch (kind) {
        case FilterKinds::LocalIP: return &LocalIPList;
        case FilterKinds::LocalPort: return &LocalPortList;
        case FilterKinds::RemoteIP: return &RemoteIPList;
        case FilterKinds::RemotePort: return &RemotePortList;
        default: return nullptr;
    }
}

std::string_view KindWord(FilterKind kind) {
    static constexpr std::array<std::string_view, FilterKinds::Count> words = {
        "Local IP", "Local Port", "Remote IP", "Remote Port"};
    if (kind < 0 || kind >= FilterKinds::Count) return {};
    return words[static_cast<std::size_t>(kind)];
}

std::string EntryLabel(FilterKind kind) { return std::string(KindWord(kind)) + " = "; }

namespace {

bool AddressListed(const FilterList& list, const RawField& address) {
    if (list.empty()) return false;
    return std::ranges::find(list, IpText(address)) != list.end();
}

// Port entries are read as decimal numbers, so "080" and "80.0" match port 80 and "1.5"
// matches nothing.
bool PortListed(const FilterList& list, const RawField& port) {
    const double number = PortNumber(port);
    return std::ranges::any_of(list, [number](const std::string& entry) {
        double value = 0;
        const auto [end, error] = std::from_chars(entry.data(), entry.data() + entry.size(), value,
                                                  std::chars_format::fixed);
        return error == std::errc{} && end == entry.data() + entry.size() && value == number;
    });
}

}  // namespace

bool IsFiltered(const TcpRow& row) {
    return AddressListed(LocalIPList, row.localAddress) ||
           PortListed(LocalPortList, row.localPort) ||
           AddressListed(RemoteIPList, row.remoteAddress) ||
           PortListed(RemotePortList, row.remotePort);
}

bool FilterExists(FilterKind kind, std::string_view value) {
    const FilterList* list = FilterListOf(kind);
    return list != nullptr && std::ranges::find(*list, value) != list->end();
}

bool AddFilter(FilterKind kind, std::string_view value) {
    if (FilterListOf(kind) == nullptr || FilterExists(kind, value)) return false;
    FilterListOf(kind)->emplace_back(value);
    return true;
}

bool RemoveFilter(FilterKind kind, std::string_view value) {
    if (!FilterExists(kind, value)) return false;
    std::erase(*FilterListOf(kind), value);
    return true;
}

std::vector<std::string> FilterLines() {
    std::vector<std::string> lines;
    for (FilterKind kind = 0; kind < FilterKinds::Count; ++kind) {
        for (const std::string& entry : *FilterListOf(kind))
            lines.push_back(EntryLabel(kind) + entry);
    }
    return lines;
}

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string TextBefore(std::string_view text, std::string_view separator) {
    const auto p = text.find(separator);
    if (p == std::string_view::npos || p == 0) return std::string(text);
    return TrimSpaces(text.substr(0, p));
}

std::string TextAfter(std::string_view text, std::string_view separator) {
    const auto p = text.find(separator);
    if (p == std::string_view::npos || p == 0) return {};
    // Everything after the separator's first character: callers pass a one-character separator.
    return TrimSpaces(text.substr(p + 1));
}
