#pragma once

class QWidget;

// Fixes a top-level window at its current size, with a title bar that holds only the icon, the
// caption and the close box: no minimize or maximize button, no resizing border.
void FixWindowFrame(QWidget* window);
