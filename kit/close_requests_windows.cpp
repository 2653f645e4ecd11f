#include <windows.h>

#include "kit/close_requests.h"

// Every message that reaches a window procedure comes as "windows_generic_MSG", sent or posted
// (taskkill without /F posts WM_CLOSE); the dispatcher's copy of a posted one is not counted twice.
bool IsCloseRequest(const QByteArray& eventType, const void* message, WId window) {
    if (eventType != "windows_generic_MSG") return false;
    const auto* msg = static_cast<const MSG*>(message);
    return msg->message == WM_CLOSE && reinterpret_cast<WId>(msg->hwnd) == window;
}

// Windows hands every request to the window procedure, where the native filter sees it.
std::shared_ptr<void> WatchQueuedCloseRequests(const QWidget&, const std::function<void()>&) {
    return nullptr;
}
