#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/table/tcp_row.h"

// The filters: four lists of entries, one per kind, exactly as the user typed them, in
// insertion order and without exact duplicates. A connection is hidden when any of its fields
// matches an entry of the list of the same kind.

enum class FilterKind : std::uint8_t { LocalAddress, LocalPort, RemoteAddress, RemotePort };

// Every kind, in the order the windows list them.
inline constexpr std::array<FilterKind, 4> FilterKinds = {
    FilterKind::LocalAddress, FilterKind::LocalPort, FilterKind::RemoteAddress,
    FilterKind::RemotePort};

// "Local IP", "Local Port", "Remote IP", "Remote Port".
std::string_view KindWord(FilterKind kind);

// The kind word followed by " = ": the label that starts an entry's line.
std::string EntryLabel(FilterKind kind);

// Why a value cannot be an entry of that kind (the message the user sees); nothing when it can.
std::optional<std::string_view> EntryRefusal(FilterKind kind, std::string_view value);

struct FilterEntry {
    FilterKind kind;
    std::string value;
};

class Filters {
public:
    // What the program starts with: the unspecified and loopback local addresses, and the
    // usual home router and the unspecified remote addresses.
    static Filters initial();

    // Whether an entry names a field of the row; FilterMatch tests many rows at less cost.
    bool hides(const TcpRow& row) const;
    bool contains(FilterKind kind, std::string_view value) const;

    // Appends value to the list of its kind; false when that list holds it already.
    bool add(FilterKind kind, std::string_view value);

    // Removes the entry equal to value; false when there is none.
    bool remove(FilterKind kind, std::string_view value);

    // Every entry: kinds in order, entries in list order.
    std::vector<FilterEntry> entries() const;

private:
    using List = std::vector<std::string>;
    const List& ListOf(FilterKind kind) const { return lists_[static_cast<std::size_t>(kind)]; }
    List& ListOf(FilterKind kind) { return lists_[static_cast<std::size_t>(kind)]; }

    std::array<List, FilterKinds.size()> lists_;
};

// The filters read once, to test many rows: each address entry as the address whose text it is,
// each port entry as the number it reads as. An entry that names none matches nothing.
class FilterMatch {
public:
    explicit FilterMatch(const Filters& filters);
    bool hides(const TcpRow& row) const;

private:
    std::vector<Ipv4Address> localAddresses_, remoteAddresses_;
    std::vector<std::uint16_t> localPorts_, remotePorts_;
};
