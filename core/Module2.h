#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tcp_row.h"

// The filter rules: four lists of entries, exactly as the user typed them, in insertion order
// and without exact duplicates. A connection is hidden when any of its fields matches an entry
// of the list of the same kind.

using FilterKind = std::int16_t;
namespace FilterKinds {
inline constexpr FilterKind LocalIP = 0, LocalPort = 1, RemoteIP = 2, RemotePort = 3;
inline constexpr FilterKind Count = 4;
}  // namespace FilterKinds

using FilterList = std::vector<std::string>;

extern FilterList LocalIPList;
extern FilterList LocalPortList;
extern FilterList RemoteIPList;
extern FilterList RemotePortList;

// Replaces the four lists with the built-in start-up contents.
void SetInitialFilters();

// The list of a kind; nullptr for a kind outside 0 to 3.
FilterList* FilterListOf(FilterKind kind);

// "Local IP", "Local Port", "Remote IP", "Remote Port"; empty outside 0 to 3.
std::string_view KindWord(FilterKind kind);

// The kind word followed by " = ": the label that starts an entry's line.
std::string EntryLabel(FilterKind kind);

bool IsFiltered(const TcpRow& row);
bool FilterExists(FilterKind kind, std::string_view value);

// Appends value to the list of its kind; false when that list holds it already.
bool AddFilter(FilterKind kind, std::string_view value);

// Removes the entry equal to value; false when there is none.
bool RemoveFilter(FilterKind kind, std::string_view value);

// One line per entry, label then entry, kinds in order 0 to 3, entries in list order.
std::vector<std::string> FilterLines();

// The part of text before (after) the first separator, trimmed of spaces. When the separator is
// absent or first, TextBefore gives text unchanged and TextAfter gives the empty text.
std::string TextBefore(std::string_view text, std::string_view separator);
std::string TextAfter(std::string_view text, std::string_view separator);

// Removes leading and trailing space characters only; tabs and other white space stay.
std::string TrimSpaces(std::string_view text);
