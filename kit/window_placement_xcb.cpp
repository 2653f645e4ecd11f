#include "kit/window_placement.h"

// Leaves out QDialog's own centring; the window manager places a window that names no position.
void WindowManagerPlacedDialog::showEvent(QShowEvent* event) { QWidget::showEvent(event); }
