#include "core/describe/remote_host_line.h"

#include "core/names/host_name.h"

bool HasRemoteHost(const TcpRow& row) {
    return row.state != TcpState::Listen && row.remoteAddress != Ipv4Address{};
}

HostAnswer HostAnswerOf(const std::optional<std::optional<std::string>>& known) {
    if (!known) return {HostAnswer::Kind::LookingUp, {}};
    if (!*known) return {HostAnswer::Kind::NoName, {}};
    return {HostAnswer::Kind::Named, **known};
}

std::string RemoteHostLine(const HostAnswer& answer) {
    switch (answer.kind) {
        case HostAnswer::Kind::NoRemoteHost: return "";
        case HostAnswer::Kind::LookingUp: return "Remote host: looking up...";
        case HostAnswer::Kind::Named: return "Remote host: " + ShownHostName(answer.name);
        case HostAnswer::Kind::NoName: break;
    }
    return "Remote host: no name";
}
