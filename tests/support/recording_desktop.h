#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/tcp_row.h"
#include "kit/desktop.h"

// A desktop for tests: records every message and every web page instead of showing or opening
// them. It installs itself.
class RecordingDesktop : public Desktop {
public:
    struct Message {
        std::string text;
        std::string title;
        MessageIcon icon;
        bool operator==(const Message&) const = default;
    };

    RecordingDesktop() { InstallDesktop(*this); }

    std::vector<Message> messages;
    std::vector<std::string> openedPages;

    void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) override {
        messages.push_back({std::string(text), std::string(title), icon});
    }
    void OpenWebPage(std::string_view address) override { openedPages.emplace_back(address); }
};

inline RawField Address(const char* dotted) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    std::sscanf(dotted, "%u.%u.%u.%u", &a, &b, &c, &d);
    return AddressField(a << 24 | b << 16 | c << 8 | d);
}

// A row from readable parts: Row(5, "10.0.0.5", 443, "10.0.0.9", 51000).
inline TcpRow Row(std::int32_t state, const char* localAddress, std::uint16_t localPort,
                  const char* remoteAddress, std::uint16_t remotePort) {
    return {state, Address(localAddress), PortField(localPort), Address(remoteAddress),
            PortField(remotePort)};
}
