#pragma once

class QWidget;

// Keeps a window's caption readable where Qt draws the title bar itself (on Wayland, where the
// compositor draws none, as mutter does): a caption too long for the bar is shortened in its
// middle, so that its beginning (the program's name) and its end (the counts) stay. The window
// keeps its whole caption; only the title bar's text is shortened.
void KeepCaptionReadable(QWidget* window);
