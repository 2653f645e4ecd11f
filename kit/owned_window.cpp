#include "kit/owned_window.h"

void ShowModeless(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

void ShowModal(QWidget& window) {
    if (!window.isVisible()) window.setWindowModality(Qt::ApplicationModal);
    ShowModeless(window);
}
