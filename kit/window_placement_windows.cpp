#include <windows.h>

#include "kit/window_placement.h"

// Leaves out QDialog's own centring. Qt creates the window at a place of its own, centred, where
// Windows chooses the place of a window created at CW_USEDEFAULT. A window of the same kind made
// that way, never shown, tells the place, and the dialog goes there before its first showing, as
// a place that the program did not choose.
void WindowManagerPlacedDialog::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_) return;
    placed_ = true;
    const auto window = reinterpret_cast<HWND>(winId());
    RECT frame;
    if (!GetWindowRect(window, &frame)) return;
    const HWND probe =
        CreateWindowExW(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)), L"STATIC", L"",
                        static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)) & ~WS_VISIBLE,
                        CW_USEDEFAULT, 0, frame.right - frame.left, frame.bottom - frame.top,
                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr) return;
    RECT place;
    const bool known = GetWindowRect(probe, &place);
    DestroyWindow(probe);
    if (!known) return;
    move(QPoint(place.left, place.top) / devicePixelRatio());
    setAttribute(Qt::WA_Moved, false);
}
