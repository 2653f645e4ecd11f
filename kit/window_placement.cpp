#include "window_placement.h"

#include <QEvent>
#include <QScreen>
#include <QStyle>
#include <QWindow>

namespace {

// Centres the window as the window system frames it now; with no frame, its client area.
void Centre(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) return;
    const QWindow* native = window->windowHandle();
    const QMargins frame = native != nullptr ? native->frameMargins() : QMargins();
    const QRect outer =
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size().grownBy(frame),
                            screen->availableGeometry());
    window->setGeometry(QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), window->size()));
}

// Centres a window when it is shown, and again once it is painted: a window manager frames a
// window before it first appears, and only then is the frame known.
class FirstShowingCentring : public QObject {
public:
    explicit FirstShowingCentring(QWidget* window) : QObject(window), window_(window) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) Centre(window_);
        if (event->type() == QEvent::Paint) {
            window_->removeEventFilter(this);
            // Not while the window paints.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    Centre(window_);
                    deleteLater();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget* window_;
};

}  // namespace

void CentreOnScreenAtFirstShowing(QWidget* window) { new FirstShowingCentring(window); }

// Leaves out QDialog's own centring.
void WindowManagerPlacedDialog::showEvent(QShowEvent* event) { QWidget::showEvent(event); }
