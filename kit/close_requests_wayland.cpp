#include <QtGui/qpa/qwindowsysteminterface_p.h>

#include <QWidget>
#include <QWindow>

#include "kit/close_requests.h"

namespace {

// On Wayland, where the compositor draws no title bar (mutter), Qt draws one itself, and its close
// box asks through Qt's queue of window system events: no native event to filter, and Qt drops
// the request while a modal window blocks the window. A compositor's own request (xdg_toplevel's
// close) comes as a QWindow::close(), which Qt lets through. Qt's private API, the one way in.
class QueuedCloseRequests : public QWindowSystemEventHandler {
public:
    QueuedCloseRequests(const QWidget& window, std::function<void()> onRequest)
        : window_(window), onRequest_(std::move(onRequest)) {
        QWindowSystemInterfacePrivate::installWindowSystemEventHandler(this);
    }
    ~QueuedCloseRequests() override {
        QWindowSystemInterfacePrivate::removeWindowSystemEventhandler(this);
    }

    bool sendEvent(QWindowSystemInterfacePrivate::WindowSystemEvent* event) override {
        if (event->type != QWindowSystemInterfacePrivate::Close ||
            static_cast<QWindowSystemInterfacePrivate::CloseEvent*>(event)->window !=
                window_.windowHandle())
            return QWindowSystemEventHandler::sendEvent(event);
        onRequest_();
        return true;
    }

private:
    const QWidget& window_;
    std::function<void()> onRequest_;
};

}  // namespace

std::shared_ptr<void> WatchQueuedCloseRequests(const QWidget& window,
                                               const std::function<void()>& onRequest) {
    return std::make_shared<QueuedCloseRequests>(window, onRequest);
}
