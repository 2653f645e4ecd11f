#pragma once

#include <string_view>

#include "snapshot/tcp_row.h"

enum class MessageIcon { Critical, Warning, Information };

// Everything that reaches outside the program's own windows: the connection table, message
// boxes and the web browser. The program installs the real desktop; tests install a recorder.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual TcpTable ReadTcpTable() = 0;
    // Shows a message with a single OK button and returns once it is closed.
    virtual void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) = 0;
    virtual void OpenWebPage(std::string_view address) = 0;
};

// The desktop in use. Installing one replaces the previous one; it must outlive its use.
Desktop& TheDesktop();
void InstallDesktop(Desktop& desktop);
