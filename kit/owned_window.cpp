#include "kit/owned_window.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

namespace {

bool OnWayland() { return QGuiApplication::platformName() == QLatin1String("wayland"); }

// Brings a shown window to the front of its owner, focused. Wayland has no request to raise a
// window, and a compositor may answer a request for the focus by marking the window urgent only
// (sway): there the window is mapped afresh, which every compositor shows in front, focused. Its
// own handlers do not see it hidden and shown again.
void BringToFront(QWidget& window) {
    if (!OnWayland()) {
        window.raise();
        window.activateWindow();
        return;
    }
    struct Unseen : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            return event->type() == QEvent::Hide || event->type() == QEvent::Show;
        }
    } unseen;
    window.installEventFilter(&unseen);
    window.hide();
    window.show();
}

// Keeps a modal window in view while it blocks the window that opened it. Minimised while its
// opener is not, it comes back at once: hidden, it would go on blocking that window, which would
// then look active but ignore the user. Openbox minimises a dialog together with the window it
// belongs to; other window managers may not. On Wayland Qt learns of no minimising, and a
// compositor may raise the opener above it (sway, for floating windows): the blocked window
// taking the focus brings it back to the front.
class ModalWindowsShown : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType()) return false;
        auto* window = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::WindowActivate && window->isWindow()) {
            // The compositor hands the focus to the blocked window for a moment while the modal
            // one is mapped afresh: that is no new reason to map it again.
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == window) modal->setProperty(BroughtToFront, false);
            if (modal != nullptr && modal != window && modal->property(ShownModal).toBool() &&
                !modal->property(BroughtToFront).toBool()) {
                modal->setProperty(BroughtToFront, true);
                QMetaObject::invokeMethod(
                    modal, [modal] { BringToFront(*modal); }, Qt::QueuedConnection);
            }
        }
        if (event->type() != QEvent::WindowStateChange) return false;
        const QWindow* opener =
            window->windowHandle() != nullptr ? window->windowHandle()->transientParent() : nullptr;
        if (window->isModal() && window->isMinimized() && opener != nullptr &&
            !(opener->windowStates() & Qt::WindowMinimized))
            QMetaObject::invokeMethod(window, &QWidget::showNormal, Qt::QueuedConnection);
        return false;
    }

public:
    // Marks the windows shown by ShowModal, which run no event loop of their own: a message box
    // that does would return from it when hidden.
    static constexpr const char* ShownModal = "sockviewShownModal";
    static constexpr const char* BroughtToFront = "sockviewBroughtToFront";
};

}  // namespace

void ShowModeless(QWidget& window, QWidget& opener) {
    // Windows keeps an owned window above its owner, X11 window managers a transient one, and
    // Wayland compositors a child toplevel (xdg_toplevel.set_parent, which Qt sets at the
    // mapping). Set at every showing: the opener may have been built afresh since the last.
    window.winId();
    window.windowHandle()->setTransientParent(opener.window()->windowHandle());
    if (window.isVisible()) return BringToFront(window);
    window.show();
    window.raise();
    window.activateWindow();
}

void ShowModal(QWidget& window, QWidget& opener) {
    static const bool watching = (qApp->installEventFilter(new ModalWindowsShown(qApp)), true);
    (void)watching;
    if (!window.isVisible()) window.setWindowModality(Qt::ApplicationModal);
    window.setProperty(ModalWindowsShown::ShownModal, true);
    ShowModeless(window, opener);
}
