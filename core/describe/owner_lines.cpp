#include "core/describe/owner_lines.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

#include "core/names/printable.h"

namespace {

// At most this many holders are named, one line each.
constexpr std::size_t NamedHolders = 5;

// The executables of the holders, each path once, in the holders' order; what the system keeps of
// a program is its own record, where a process's name is anybody's to choose.
std::string ProgramLines(std::span<const OwnerFacts::Holder> holders) {
    std::vector<std::string_view> paths;
    for (const OwnerFacts::Holder& holder : holders)
        if (!holder.path.empty() && std::ranges::find(paths, holder.path) == paths.end())
            paths.push_back(holder.path);
    if (holders.empty()) return {};
    if (paths.empty()) return "\nProgram: not visible without administrator rights";
    std::string lines;
    for (const std::string_view path : paths) lines += "\nProgram: " + Printable(path);
    return lines;
}

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
            text += ProgramLines(std::span(facts.holders).first(named));
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

std::string OwnerLines(const OwnerIndex* index, const TcpRow& row) {
    return index != nullptr ? FactsText(index->ownerOf(row)) : "Process: looking up...";
}
