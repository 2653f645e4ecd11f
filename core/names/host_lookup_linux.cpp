#include <arpa/inet.h>
#include <netdb.h>

#include <cstring>

#include "core/names/host_lookup.h"

// NI_NAMEREQD: an address without a name is no name, not its own dotted text.
HostLookup SystemHostLookup() {
    return [](const Ipv4Address& address) -> std::optional<std::string> {
        sockaddr_in socket{};
        socket.sin_family = AF_INET;
        std::memcpy(&socket.sin_addr, address.data(), address.size());
        char name[NI_MAXHOST];
        if (getnameinfo(reinterpret_cast<const sockaddr*>(&socket), sizeof socket, name,
                        sizeof name, nullptr, 0, NI_NAMEREQD) != 0)
            return std::nullopt;
        return name;
    };
}
