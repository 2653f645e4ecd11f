#include "kit/fixed_window.h"

#include <QWidget>

// A dialog, because Qt tells an X11 window manager which window a window belongs to only for a
// dialog. The window then goes and comes with that one: openbox, which offers to minimise any
// window whatever it asks, minimises the two together.
void FixWindowFrame(QWidget* window) {
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    window->setFixedSize(window->size());
}
