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

// The tooltip line, "Remote host: NAME", "Remote host: looking up..." or "Remote host: no name";
// empty for NoRemoteHost. A reverse record is anybody's to write, so the name is shown in ASCII:
// first its control and format characters and invalid UTF-8 as "?" (Printable), then in its
// registered form, each internationalized label as "xn--" (no look-alike letter passes for
// another host), or with every character beyond ASCII as "?" where IDNA refuses it; a name
// longer than any real one (253 characters) is cut there, with "...".
std::string RemoteHostLine(const HostAnswer& answer);
