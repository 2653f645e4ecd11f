#pragma once

#include "kit/desktop.h"

// The desktop as the program meets it: Qt message boxes and the browser.
class RealDesktop : public Desktop {
public:
    void showMessage(std::string_view text, std::string_view title, MessageIcon icon) override;
    void openWebPage(std::string_view address) override;
};
