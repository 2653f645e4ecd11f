#include "kit/window_placement.h"

// Leaves out QDialog's own centring; the window manager places a window that names no position.
// On Wayland no program places its windows (xdg-shell carries no position): the compositor
// places each, and this is all there is to do there too.
void WindowManagerPlacedDialog::showEvent(QShowEvent* event) { QWidget::showEvent(event); }
