#pragma once

#include <optional>
#include <string>

#include "core/describe/remote_host_line.h"
#include "core/describe/service_line.h"
#include "core/owners/owner_index.h"
#include "core/table/socket_now.h"
#include "core/table/tcp_row.h"

// What is known of a row beyond its cells, each part as far as it is known yet.
struct RowFacts {
    bool isNew = false;
    const OwnerIndex* owners = nullptr;  // null while the look at the owners runs
    HostAnswer remoteHost;
    ServerPort server;
    std::optional<std::optional<std::string>> service;  // the server port's name, once looked up
    std::optional<SocketNow> now;                       // the socket's figures, once looked up
};

// A row's tooltip and accessible description, one line each, in this order: "New since the last
// refresh" for a new row; who holds it (OwnerLines); then the remote host, the service, the
// traffic and a listener's queue, each where it has something to tell.
std::string RowDescription(const TcpRow& row, const RowFacts& facts);
