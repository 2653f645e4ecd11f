#pragma once

#include <optional>
#include <string>

#include "core/table/tcp_row.h"

// What a row's tooltip can tell of the host at the connection's remote end.
struct HostAnswer {
    enum class Kind {
        NoRemoteHost,  // a listener, or a remote address of 0.0.0.0: nothing to look up
        LookingUp,
        Named,   // `name` is what the resolver gave
        NoName,  // the resolver has none, or gave no answer in time
    };
    Kind kind = Kind::LookingUp;
    std::string name;
};

// Whether a row has a host at its remote end to name: not a listener, nor a remote address of
// 0.0.0.0.
bool HasRemoteHost(const TcpRow& row);

// The answer of a lookup: nothing while it runs, else the name, if the resolver has one.
HostAnswer HostAnswerOf(const std::optional<std::optional<std::string>>& known);

// "Remote host: NAME" (the name as ShownHostName shows it), "Remote host: looking up..." or
// "Remote host: no name"; empty for NoRemoteHost.
std::string RemoteHostLine(const HostAnswer& answer);
