#pragma once

#include <string>
#include <vector>

#include "kit/desktop.h"

// A desktop for tests: records every message and every web page instead of showing or opening
// them. It installs itself.
struct RecordingDesktop : Desktop {
    struct Message {
        std::string text, title;
        MessageIcon icon;
        bool operator==(const Message&) const = default;
    };

    RecordingDesktop() { InstallDesktop(*this); }

    std::vector<Message> messages;
    std::vector<std::string> openedPages;

    void showMessage(std::string_view text, std::string_view title, MessageIcon icon) override {
        messages.push_back({std::string(text), std::string(title), icon});
    }
    void openWebPage(std::string_view address) override { openedPages.emplace_back(address); }
};
