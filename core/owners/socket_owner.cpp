#include "core/owners/socket_owner.h"

#include <algorithm>

#include "core/names/printable.h"

namespace {

// At most this many holders are named, one line each.
constexpr std::size_t NamedHolders = 5;

std::string FactsText(const OwnerFacts& facts) {
    using Kind = OwnerFacts::Kind;
    std::string text;
    switch (facts.kind) {
        case Kind::Closing: return "No process: the connection is closing";
        case Kind::Closed: return "No process: closed since the last refresh";
        case Kind::Unknown: return "Process: unknown (" + facts.why + ")";
        case Kind::Hidden: text = "Process: not visible without administrator rights"; break;
        case Kind::Queued:
            if (facts.holders.empty()) text = "Process: not yet accepted";
            [[fallthrough]];
        case Kind::Held: {
            const std::string lead =
                facts.kind == Kind::Queued ? "Process: not yet accepted by " : "Process: ";
            const std::size_t named = std::min(facts.holders.size(), NamedHolders);
            for (std::size_t i = 0; i < named; ++i) {
                text += (i > 0 ? "\n" : "") + lead + Printable(facts.holders[i].name) + " (PID " +
                        std::to_string(facts.holders[i].pid) + ")";
            }
            if (facts.holders.size() > named)
                text += "\nand " + std::to_string(facts.holders.size() - named) + " more";
            break;
        }
    }
    // A connection in a listener's queue is nobody's yet: the listener's user is not its user.
    if (facts.kind == Kind::Queued) return text;
    for (std::size_t i = 0; i < facts.users.size(); ++i)
        text += (i == 0 ? "\nUser: " : ", ") + Printable(facts.users[i]);
    return text;
}

}  // namespace

std::string OwnerText(const OwnerIndex* index, const TcpRow& row, bool isNew) {
    const std::string text =
        index != nullptr ? FactsText(index->ownerOf(row)) : "Process: looking up...";
    return isNew ? "New since the last refresh\n" + text : text;
}
