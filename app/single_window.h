#pragma once

#include <QPointer>
#include <QWidget>

// Secondary windows are single global instances: built on first use, shown again at every later
// use, and built afresh after their close box destroyed them.

namespace single_window_detail {
template <class Window>
inline QPointer<Window> instance;
void Track(QWidget* window);
}  // namespace single_window_detail

template <class Window>
Window& SingleInstance() {
    auto& window = single_window_detail::instance<Window>;
    if (!window) {
        window = new Window;
        window->setAttribute(Qt::WA_DeleteOnClose);
        single_window_detail::Track(window);
    }
    return *window;
}

// The instance if it exists now; nullptr otherwise.
template <class Window>
Window* ExistingInstance() {
    return single_window_detail::instance<Window>.data();
}

// Shows a modeless window, or brings it to the front when it is shown already.
void ShowModeless(QWidget& window);

// Destroys every secondary window; they must not outlive the application object.
void DestroySecondaryWindows();
