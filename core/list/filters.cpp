#include "core/list/filters.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/list/input_checks.h"
#include "core/list/row_text.h"

namespace {

bool IsAddressKind(FilterKind kind) {
    return kind == FilterKind::LocalAddress || kind == FilterKind::RemoteAddress;
}

// The address an entry names as the list shows addresses, in the dotted decimal of IpText: an
// entry matches a connection's address when it is that address's text.
std::optional<Ipv4Address> AddressNamed(std::string_view entry) {
    Ipv4Address address{};
    const char* at = entry.data();
    const char* const end = at + entry.size();
    for (std::size_t part = 0; part < address.size(); ++part) {
        if (part > 0 && (at == end || *at++ != '.')) return std::nullopt;
        unsigned value = 0;
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc{} || value > 255) return std::nullopt;
        address[part] = static_cast<std::uint8_t>(value);
        at = next;
    }
    if (at != end || IpText(address) != entry) return std::nullopt;
    return address;
}

// The port an entry names, read as a decimal number, so that "080" and "80.0" name port 80 and
// "1.5" names none.
std::optional<std::uint16_t> PortNamed(std::string_view entry) {
    double value = 0;
    const auto [end, error] =
        std::from_chars(entry.data(), entry.data() + entry.size(), value, std::chars_format::fixed);
    if (error != std::errc{} || end != entry.data() + entry.size() || value < 0 || value > 65535 ||
        value != std::floor(value))
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
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

bool Filters::hides(const TcpRow& row) const { return FilterMatch(*this).hides(row); }

FilterMatch::FilterMatch(const Filters& filters) {
    for (const FilterEntry& entry : filters.entries()) {
        using enum FilterKind;
        if (entry.kind == LocalAddress || entry.kind == RemoteAddress) {
            if (const auto address = AddressNamed(entry.value))
                (entry.kind == LocalAddress ? localAddresses_ : remoteAddresses_)
                    .push_back(*address);
        } else if (const auto port = PortNamed(entry.value)) {
            (entry.kind == LocalPort ? localPorts_ : remotePorts_).push_back(*port);
        }
    }
}

bool FilterMatch::hides(const TcpRow& row) const {
    const auto listed = [](const auto& values, const auto& value) {
        return std::ranges::find(values, value) != values.end();
    };
    return listed(localAddresses_, row.localAddress) ||
           listed(localPorts_, PortNumber(row.localPort)) ||
           listed(remoteAddresses_, row.remoteAddress) ||
           listed(remotePorts_, PortNumber(row.remotePort));
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
