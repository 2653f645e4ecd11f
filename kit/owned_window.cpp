#include "kit/owned_window.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

namespace {

// Brings a modal window back when it is minimised while the window that opened it is not: hidden,
// it would go on blocking that window, which would then look active but ignore the user. Openbox
// minimises a dialog together with the window it belongs to; other window managers may not.
class ModalWindowsShown : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::WindowStateChange || !watched->isWidgetType()) return false;
        auto* window = static_cast<QWidget*>(watched);
        const QWindow* opener =
            window->windowHandle() != nullptr ? window->windowHandle()->transientParent() : nullptr;
        if (window->isModal() && window->isMinimized() && opener != nullptr &&
            !(opener->windowStates() & Qt::WindowMinimized))
            QMetaObject::invokeMethod(window, &QWidget::showNormal, Qt::QueuedConnection);
        return false;
    }
};

}  // namespace

void ShowModeless(QWidget& window, QWidget& opener) {
    // Windows keeps an owned window above its owner, and X11 window managers a transient one.
    // Set at every showing: the opener may have been built afresh since the last.
    window.winId();
    window.windowHandle()->setTransientParent(opener.window()->windowHandle());
    window.show();
    window.raise();
    window.activateWindow();
}

void ShowModal(QWidget& window, QWidget& opener) {
    static const bool watching = (qApp->installEventFilter(new ModalWindowsShown(qApp)), true);
    (void)watching;
    if (!window.isVisible()) window.setWindowModality(Qt::ApplicationModal);
    ShowModeless(window, opener);
}
