#pragma once

#include <cstdio>

#include "core/table/tcp_row.h"

inline Ipv4Address Address(const char* dotted) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    std::sscanf(dotted, "%u.%u.%u.%u", &a, &b, &c, &d);
    return AddressField(a << 24 | b << 16 | c << 8 | d);
}

// A row from readable parts: Row(5, "10.0.0.5", 443, "10.0.0.9", 51000), its holder found by
// `holderKey`, of user `uid`.
inline TcpRow Row(std::uint8_t state, const char* localAddress, std::uint16_t localPort,
                  const char* remoteAddress, std::uint16_t remotePort, std::uint32_t holderKey = 0,
                  std::uint32_t uid = 0) {
    const Ipv4Address local = Address(localAddress), remote = Address(remoteAddress);
    return {state, local, PortField(localPort), remote, PortField(remotePort), holderKey, uid};
}
