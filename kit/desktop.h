#pragma once

#include <string_view>

enum class MessageIcon { Critical, Warning, Information };

// What the windows show or open outside themselves: message boxes and the web browser. The
// program installs the real desktop; tests install a recorder.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Shows a message with a single OK button and returns once it is closed.
    virtual void showMessage(std::string_view text, std::string_view title, MessageIcon icon) = 0;
    virtual void openWebPage(std::string_view address) = 0;
};

// The desktop in use. Installing one replaces the previous one; it must outlive its use.
Desktop& TheDesktop();
void InstallDesktop(Desktop& desktop);
