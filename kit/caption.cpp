#include "kit/caption.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace {

// Qt's own title bar (its "bradient" decoration) lays the caption out in the application's font,
// centres that width on the whole bar and draws it in a 14-pixel font, cut at both ends: at the
// window's icon and at its three buttons.
QString TitleBarText(const QString& caption, int barWidth) {
    constexpr int IconEnd = 3 + 5 + 22 + 5, ButtonsStart = 3 * 18 + 2 * 5 + 8 + 5;
    QFont drawn;
    drawn.setPixelSize(14);
    const QFontMetrics laidOut{QFont()}, shown(drawn);
    for (int room = barWidth - IconEnd - ButtonsStart; room > 0; room -= 4) {
        const QString text = shown.elidedText(caption, Qt::ElideMiddle, room);
        const int start = (barWidth - laidOut.horizontalAdvance(text)) / 2;
        if (start >= IconEnd && start + shown.horizontalAdvance(text) <= barWidth - ButtonsStart)
            return text;
    }
    return {};
}

class ReadableCaption : public QObject {
public:
    explicit ReadableCaption(QWidget* window) : QObject(window), window_(window) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        // Qt learns that it draws the title bar once the compositor has configured the window,
        // before the window is painted.
        // A new caption reaches the window system whole, from Qt.
        if (event->type() == QEvent::WindowTitleChange) fitted_.clear();
        if (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::Paint) fit();
        return false;
    }

private:
    void fit() {
        QWindow* native = window_->windowHandle();
        if (native == nullptr || QGuiApplication::platformName() != QLatin1String("wayland"))
            return;
        const QMargins bar = native->frameMargins();  // Qt's own decoration, or none
        const int barWidth = bar.top() > 0 ? native->width() + bar.left() + bar.right() : 0;
        if (window_->windowTitle() == fitted_ && barWidth == fittedWidth_) return;
        fitted_ = window_->windowTitle();
        fittedWidth_ = barWidth;
        native->setTitle(barWidth > 0 ? TitleBarText(fitted_, barWidth) : fitted_);
    }

    QWidget* window_;
    QString fitted_;  // the caption last fitted to a bar of that width (0: no bar of Qt's)
    int fittedWidth_ = 0;
};

}  // namespace

void KeepCaptionReadable(QWidget* window) { new ReadableCaption(window); }
