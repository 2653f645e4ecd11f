#include "kit/owned_window.h"

#include <QWindow>

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
    if (!window.isVisible()) window.setWindowModality(Qt::ApplicationModal);
    ShowModeless(window, opener);
}
