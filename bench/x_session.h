#pragma once

#include <sys/types.h>
#include <xcb/xcb.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// A private X server (Xvfb) on a display number it picks itself, with no window manager, so
// that the program's windows are top-levels of the root. It ends with this object, or with the
// process that started it.
class PrivateXServer {
public:
    PrivateXServer() = default;
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;
    ~PrivateXServer();
    bool Start(std::string* why);
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = 0;
    std::string display_;
};

// Watches, from its own connection, the ordinary top-level windows created on a display after
// it began: when the first of them is mapped, and when its caption first holds a given text.
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
    // When the caption with the text was first seen, or the window mapped if that came later:
    // the moment a user could read it.
    std::optional<Clock::time_point> captioned() const;
    const std::string& caption() const { return caption_; }
    // Asks the mapped window to close, as a window manager's close box does.
    void RequestClose();

private:
    void Track(xcb_window_t window, std::string_view text);
    void ReadCaption(xcb_window_t window, std::string_view text);
    xcb_atom_t Atom(const char* name);

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t netWmName_ = 0, wmProtocols_ = 0, wmDeleteWindow_ = 0;
    xcb_window_t window_ = 0;
    std::optional<Clock::time_point> mapped_;
    std::map<xcb_window_t, Clock::time_point> captionSeen_;
    std::string caption_;
};
