#include "core/socket_owner.h"

std::string OwnerText(const OwnerFacts& owner, bool isNew) {
    std::string text = isNew ? "New since the last refresh\n" : "";
    const std::string userLine = owner.user.empty() ? "" : "\nUser: " + owner.user;
    switch (owner.process) {
        case OwnerFacts::Process::Running:
            return text + "Process: " + owner.name + " (PID " + std::to_string(owner.pid) + ")" +
                   userLine;
        case OwnerFacts::Process::Closing: return text + "No process: the connection is closing";
        case OwnerFacts::Process::Hidden:
            return text + "Process: not visible without administrator rights" + userLine;
        case OwnerFacts::Process::Ended: return text + "Process: ended";
        case OwnerFacts::Process::Unknown: return text + "Process: unknown (" + owner.why + ")";
    }
    return text;
}
