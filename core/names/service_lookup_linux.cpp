#include <netdb.h>
#include <netinet/in.h>

#include <vector>

#include "core/base/growing_buffer.h"
#include "core/names/service_lookup.h"

ServiceLookup SystemServiceLookup() {
    return [](std::uint16_t port) -> std::optional<std::string> {
        std::optional<std::string> name;
        WithGrowingBuffer([&](std::vector<char>& buffer) {
            servent entry{};
            servent* found = nullptr;
            const int error =
                getservbyport_r(htons(port), "tcp", &entry, buffer.data(), buffer.size(), &found);
            if (found != nullptr) name = entry.s_name;
            return error;
        });
        return name;
    };
}
