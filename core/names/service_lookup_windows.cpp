#include <winsock2.h>

#include "core/names/service_lookup.h"
#include "core/names/winsock.h"

// Winsock keeps the entry it returns for each thread apart.
ServiceLookup SystemServiceLookup() {
    return [](std::uint16_t port) -> std::optional<std::string> {
        const servent* found = WinsockStarted() ? getservbyport(htons(port), "tcp") : nullptr;
        if (found == nullptr || found->s_name == nullptr) return std::nullopt;
        return std::string(found->s_name);
    };
}
