#pragma once

#include <QPointer>
#include <QWidget>
#include <utility>

// A secondary window kept by the window that opens it: built at its first showing, shown as it
// was left at every later one, and built afresh after its close box destroyed it. It goes when
// its opener goes.
template <class Window>
class OwnedWindow {
public:
    OwnedWindow() = default;
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;
    ~OwnedWindow() { delete window_.data(); }

    // The window, built from args when there is none now.
    template <class... Args>
    Window& get(Args&&... args) {
        if (!window_) {
            window_ = new Window(std::forward<Args>(args)...);
            window_->setAttribute(Qt::WA_DeleteOnClose);
        }
        return *window_;
    }

private:
    QPointer<Window> window_;
};

// Shows a window, or brings it to the front when it is shown already. The window that opens it
// owns it: the window stays above its opener and comes to the front with it.
void ShowModeless(QWidget& window, QWidget& opener);

// Shows a window, owned by its opener, that blocks every other window of the program until it is
// hidden. The caller does not wait for it: what follows the window is connected to its hiding.
// Minimised while its opener is not, it comes back at once.
void ShowModal(QWidget& window, QWidget& opener);
