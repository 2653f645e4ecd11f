#pragma once

#include <sys/types.h>
#include <xcb/xcb.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/bench_kit.h"

// A private X server (Xvfb) on a display number it picks itself, with no window manager, so
// that the program's windows are top-levels of the root. It ends with this object, or with the
// process that started it.
class PrivateXServer {
public:
    bool Start(std::string* why);
    const std::string& display() const { return display_; }
    ~PrivateXServer();

private:
    std::unique_ptr<Child> xvfb_;
    std::string display_;
};

// Moves this process into a mount namespace with a folder of X sockets of its own (a tmpfs over
// /tmp/.X11-unix), which launches in other network namespaces reach the server through: the
// server's other socket is an abstract one, of its network namespace alone. Another X server
// started meanwhile on this machine could otherwise take the display's socket file.
bool PrivateSocketFolder(std::string* why);

// Watches, from its own connection, the ordinary top-level windows created on a display after
// it began: when the first of them is mapped, when its client area is first painted, when its
// caption first holds a given text, and when the program's list first shows rows. The root is
// black (the server is started so), which a window that has not painted shows through.
class TopLevelWatch {
public:
    using Clock = std::chrono::steady_clock;
    explicit TopLevelWatch(const std::string& display);
    TopLevelWatch(const TopLevelWatch&) = delete;
    TopLevelWatch& operator=(const TopLevelWatch&) = delete;
    ~TopLevelWatch();
    bool connected() const { return connection_ != nullptr; }

    // Handles what the server has sent; true once the mapped window's caption holds `text`.
    bool Update(std::string_view text);
    int fd() const { return xcb_get_file_descriptor(connection_); }

    std::optional<Clock::time_point> mapped() const { return mapped_; }
    std::optional<Clock::time_point> painted() const { return painted_; }
    // When the list's first rows were first seen painted, from the caption with the text on.
    std::optional<Clock::time_point> rowsPainted() const { return rowsPainted_; }
    // Whether a paint is awaited, which only reading the window's pixels again tells.
    bool awaitingPaint() const;
    // How often the caption has changed.
    int captionChanges() const { return captionChanges_; }
    // When the caption with the text was first seen, or the window mapped if that came later:
    // the moment a user could read it.
    std::optional<Clock::time_point> captioned() const;
    const std::string& caption() const { return caption_; }
    const std::string& currentCaption() const { return currentCaption_; }
    // Asks the mapped window to close, as a window manager's close box does.
    void RequestClose();
    xcb_window_t window() const { return window_; }

private:
    void Track(xcb_window_t window, std::string_view text);
    void ReadCaption(xcb_window_t window, std::string_view text);
    // The pixels of a rectangle of the mapped window, each 32 bits; empty when it cannot be read.
    std::vector<std::uint32_t> Pixels(int x, int y, int width, int height);
    void LookAtPixels();
    xcb_atom_t Atom(const char* name);

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t netWmName_ = 0, wmProtocols_ = 0, wmDeleteWindow_ = 0;
    xcb_window_t window_ = 0;
    std::optional<Clock::time_point> mapped_, painted_, rowsPainted_;
    int captionChanges_ = 0;
    std::map<xcb_window_t, Clock::time_point> captionSeen_;
    std::string caption_, currentCaption_;
};
