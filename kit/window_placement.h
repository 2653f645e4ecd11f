#pragma once

#include <QDialog>

class QShowEvent;

// Centres a top-level window on its screen at its first showing: the client area at once, and
// the whole window, frame included, once the window manager has framed it. With no window manager
// there is no frame, and the client area stays centred. On Wayland the compositor places every
// window, and no program can: the centring has no effect there, and none is possible.
void CentreOnScreenAtFirstShowing(QWidget* window);

// A dialog that the window system places, where it places any new window. A plain QDialog
// centres itself when shown, and that position reaches the window manager as one the program
// asked for, which it has to honour. On Windows, Qt creates every window at a place of its own.
class WindowManagerPlacedDialog : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool placed_ = false;  // on Windows, where the program itself moves it once
};
