#include "app/single_window.h"

#include <QList>

namespace {
QList<QPointer<QWidget>>& Tracked() {
    static QList<QPointer<QWidget>> windows;
    return windows;
}
}  // namespace

void single_window_detail::Track(QWidget* window) {
    Tracked().removeAll(nullptr);
    Tracked().append(window);
}

void ShowModeless(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

void DestroySecondaryWindows() {
    for (const QPointer<QWidget>& window : std::as_const(Tracked())) delete window.data();
    Tracked().clear();
}
