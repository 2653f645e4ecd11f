#include "gui/about/clicks.h"

#include <QMouseEvent>
#include <QWidget>

namespace {

class ClickFilter : public QObject {
public:
    ClickFilter(QWidget* widget, std::function<void()> action)
        : QObject(widget), widget_(widget), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != widget_) return false;
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick: event->accept(); return true;
            case QEvent::MouseButtonRelease: {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() == Qt::LeftButton &&
                    widget_->rect().contains(mouse->position().toPoint()) && action_)
                    action_();
                event->accept();
                return true;
            }
            default: return false;
        }
    }

private:
    QWidget* widget_;
    std::function<void()> action_;
};

}  // namespace

void OnClick(QWidget* widget, std::function<void()> action) {
    widget->installEventFilter(new ClickFilter(widget, std::move(action)));
}

void SwallowClicks(QWidget* widget) { OnClick(widget, {}); }
