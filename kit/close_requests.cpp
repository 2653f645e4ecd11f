#include "kit/close_requests.h"

#include <QCoreApplication>

CloseRequests::CloseRequests(const QWidget& window, std::function<void()> onRequest)
    : window_(window),
      onRequest_(std::move(onRequest)),
      queuedRequests_(WatchQueuedCloseRequests(window, onRequest_)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

bool CloseRequests::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) {
    const WId window = window_.internalWinId();
    if (window == 0 || !IsCloseRequest(eventType, message, window)) return false;
    onRequest_();
    if (result) *result = 0;
    return true;
}
