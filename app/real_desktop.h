#pragma once

#include "app/desktop.h"

// The desktop as the program meets it: the kernel's table, Qt message boxes and the browser.
class RealDesktop : public Desktop {
public:
    TcpTable ReadTcpTable() override;
    void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) override;
    void OpenWebPage(std::string_view address) override;
};
