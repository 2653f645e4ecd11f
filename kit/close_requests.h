#pragma once

#include <QAbstractNativeEventFilter>
#include <QWidget>
#include <functional>
#include <memory>

// Hands the window system's requests to close a window to a function, before Qt sees them: Qt
// drops such a request while a modal window blocks the window, and a request sent by another
// program (a task manager, a session tool, a window manager's menu) must not be lost.
class CloseRequests : public QAbstractNativeEventFilter {
public:
    // Watches for as long as it lives; the window must outlive it.
    CloseRequests(const QWidget& window, std::function<void()> onRequest);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    const QWidget& window_;
    std::function<void()> onRequest_;
    std::shared_ptr<void> queuedRequests_;
};

// Whether a native event of Qt's eventType asks that window to close: WM_DELETE_WINDOW on X11,
// WM_CLOSE on Windows.
bool IsCloseRequest(const QByteArray& eventType, const void* message, WId window);

// Hands the requests to close the window that come as no native event, but through Qt's own queue
// of window system events, to onRequest, for as long as the result is held.
std::shared_ptr<void> WatchQueuedCloseRequests(const QWidget& window,
                                               const std::function<void()>& onRequest);
