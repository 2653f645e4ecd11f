#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "core/base/wide_text.h"
#include "core/names/host_lookup.h"
#include "core/names/winsock.h"

// GetNameInfoW, as the ANSI call would turn an international name into the code page's question
// marks.
HostLookup SystemHostLookup() {
    return [](const Ipv4Address& address) -> std::optional<std::string> {
        sockaddr_in socket{};
        socket.sin_family = AF_INET;
        std::memcpy(&socket.sin_addr, address.data(), address.size());
        wchar_t name[NI_MAXHOST];
        if (!WinsockStarted() ||
            GetNameInfoW(reinterpret_cast<const sockaddr*>(&socket), sizeof socket, name,
                         NI_MAXHOST, nullptr, 0, NI_NAMEREQD) != 0)
            return std::nullopt;
        return Utf8(name);
    };
}
