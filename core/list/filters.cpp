#include "core/list/filters.h"

#include <algorithm>
#include <charconv>

#include "core/list/input_checks.h"
#include "core/list/row_text.h"

namespace {

bool IsAddressKind(FilterKind kind) {
    return kind == FilterKind::LocalAddress || kind == FilterKind::RemoteAddress;
}

bool AddressListed(const std::vector<std::string>& list, const Ipv4Address& address) {
    if (list.empty()) return false;
    return std::ranges::find(list, IpText(address)) != list.end();
}

// Port entries are read as decimal numbers, so "080" and "80.0" match port 80 and "1.5"
// matches nothing.
bool PortListed(const std::vector<std::string>& list, const NetworkPort& port) {
    const double number = PortNumber(port);
    return std::ranges::any_of(list, [number](const std::string& entry) {
        double value = 0;
        const auto [end, error] = std::from_chars(entry.data(), entry.data() + entry.size(), value,
                                                  std::chars_format::fixed);
        return error == std::errc{} && end == entry.data() + entry.size() && value == number;
    });
}

}  // namespace

std::string_view KindWord(FilterKind kind) {
    switch (kind) {
        case FilterKind::LocalAddress: return "Local IP";
        case FilterKind::LocalPort: return "Local Port";
        case FilterKind::RemoteAddress: return "Remote IP";
        case FilterKind::RemotePort: return "Remote Port";
    }
    return {};
}

std::string EntryLabel(FilterKind kind) { return std::string(KindWord(kind)) + " = "; }

std::optional<std::string_view> EntryRefusal(FilterKind kind, std::string_view value) {
    return IsAddressKind(kind) ? AddressRefusal(value) : PortRefusal(value);
}

Filters Filters::initial() {
    Filters filters;
    filters.ListOf(FilterKind::LocalAddress) = {"0.0.0.0", "127.0.0.1"};
    filters.ListOf(FilterKind::RemoteAddress) = {"192.168.1.1", "0.0.0.0"};
    return filters;
}

bool Filters::hides(const TcpRow& row) const {
    return AddressListed(ListOf(FilterKind::LocalAddress), row.localAddress) ||
           PortListed(ListOf(FilterKind::LocalPort), row.localPort) ||
           AddressListed(ListOf(FilterKind::RemoteAddress), row.remoteAddress) ||
           PortListed(ListOf(FilterKind::RemotePort), row.remotePort);
}

bool Filters::contains(FilterKind kind, std::string_view value) const {
    return std::ranges::find(ListOf(kind), value) != ListOf(kind).end();
}

bool Filters::add(FilterKind kind, std::string_view value) {
    if (contains(kind, value)) return false;
    ListOf(kind).emplace_back(value);
    return true;
}

bool Filters::remove(FilterKind kind, std::string_view value) {
    return std::erase(ListOf(kind), value) > 0;
}

std::vector<FilterEntry> Filters::entries() const {
    std::vector<FilterEntry> entries;
    for (const FilterKind kind : FilterKinds) {
        for (const std::string& value : ListOf(kind)) entries.push_back({kind, value});
    }
    return entries;
}
