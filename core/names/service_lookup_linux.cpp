#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <vector>

#include "core/names/service_lookup.h"

ServiceLookup SystemServiceLookup() {
    return [](std::uint16_t port) -> std::optional<std::string> {
        std::vector<char> buffer(1024);
        for (;;) {
            servent entry{};
            servent* found = nullptr;
            const int error =
                getservbyport_r(htons(port), "tcp", &entry, buffer.data(), buffer.size(), &found);
            if (error == ERANGE && buffer.size() < (1u << 20)) {
                buffer.resize(buffer.size() * 2);
                continue;
            }
            if (found == nullptr) return std::nullopt;
            return std::string(entry.s_name);
        }
    };
}
