#pragma once

class QWidget;

// Fixes a top-level window at its current size, as a dialog with a title bar that holds only the
// icon, the caption and the close box: no minimize or maximize button, no resizing border. Shown
// by ShowModal or ShowModeless, it is owned by the window that opened it.
void FixWindowFrame(QWidget* window);
