#include "recording_desktop.h"

#include <arpa/inet.h>

void RecordingDesktop::ShowMessage(std::string_view text, std::string_view title,
                                   MessageIcon icon) {
    messages.push_back({std::string(text), std::string(title), icon});
}

void RecordingDesktop::OpenWebPage(std::string_view address) {
    openedPages.emplace_back(address);
}

namespace {
RawField Address(const char* text) {
    in_addr address{};
    inet_pton(AF_INET, text, &address);
    return AddressField(ntohl(address.s_addr));
}
}  // namespace

TcpRow Row(std::int32_t state, const char* localAddress, std::uint16_t localPort,
           const char* remoteAddress, std::uint16_t remotePort) {
    return {state, Address(localAddress), PortField(localPort), Address(remoteAddress),
            PortField(remotePort)};
}
