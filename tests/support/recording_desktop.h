#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "desktop.h"
#include "tcp_row.h"

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

    void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) override;
    void OpenWebPage(std::string_view address) override;
};

// A row from readable parts: Row(5, "10.0.0.5", 443, "10.0.0.9", 51000).
TcpRow Row(std::int32_t state, const char* localAddress, std::uint16_t localPort,
           const char* remoteAddress, std::uint16_t remotePort);
