#include "kit/window_placement.h"

#include <QBasicTimer>
#include <QEvent>
#include <QScreen>
#include <QStyle>
#include <QTimerEvent>
#include <QWindow>

namespace {

// Watches a window from its first showing until the window manager has framed it, then centres
// the whole window, frame included. The window manager frames a window as it maps it, but Qt
// learns of the frame only from events that may follow the first paint, so the frame is looked
// for during a second from then on. With no window manager none comes, and the client area,
// centred when the window was shown, stays where it is.
class FirstShowingCentring : public QObject {
public:
    explicit FirstShowingCentring(QWidget* window) : QObject(window), window_(window) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) Centre({});
        if (event->type() == QEvent::Paint) {
            window_->removeEventFilter(this);
            timer_.start(LookEveryMs, this);
        }
        return false;
    }

    void timerEvent(QTimerEvent* event) override {
        if (event->timerId() != timer_.timerId()) return;
        const QWindow* native = window_->windowHandle();
        const QMargins frame = native != nullptr ? native->frameMargins() : QMargins();
        if (!frame.isNull()) Centre(frame);
        if (!frame.isNull() || ++looks_ == Looks) {
            timer_.stop();
            deleteLater();
        }
    }

private:
    static constexpr int LookEveryMs = 20;
    static constexpr int Looks = 50;

    void Centre(const QMargins& frame) {
        const QScreen* screen = window_->screen();
        if (screen == nullptr) return;
        const QRect outer =
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window_->size().grownBy(frame),
                                screen->availableGeometry());
        window_->setGeometry(
            QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), window_->size()));
    }

    QWidget* window_;
    QBasicTimer timer_;
    int looks_ = 0;
};

}  // namespace

void CentreOnScreenAtFirstShowing(QWidget* window) { new FirstShowingCentring(window); }
