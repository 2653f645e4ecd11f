#include "core/socket_owner.h"

#include <algorithm>
#include <string_view>

namespace {

// At most this many holders are named, one line each.
constexpr std::size_t NamedHolders = 5;

// A name is anybody's to choose: a control character (or a Unicode line separator, which
// breaks a line as well) shows as "?", so that no name can forge a line of its own.
std::string Printable(std::string_view name) {
    std::string text;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            text += '?';
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F
            text += '?';
            ++i;
        } else if (name.substr(i, 3) == "\u2028" || name.substr(i, 3) == "\u2029") {
            text += '?';
            i += 2;
        } else {
            text += name[i];
        }
    }
    return text;
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

std::string OwnerText(const OwnerIndex* look, const TcpRow& row, bool isNew) {
    const std::string text =
        look != nullptr ? FactsText(look->OwnerOf(row)) : "Process: looking up...";
    return isNew ? "New since the last refresh\n" + text : text;
}
