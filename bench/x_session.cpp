#include "bench/x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

// By SIGTERM, so that it removes its lock and socket.
PrivateXServer::~PrivateXServer() {
    if (xvfb_) xvfb_->Kill(SIGTERM);
}

bool PrivateSocketFolder(std::string* why) {
    const char* folder = "/tmp/.X11-unix";
    mkdir(folder, 01777);
    if (unshare(CLONE_NEWNS) == 0 &&
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
        mount("tmpfs", folder, "tmpfs", 0, "mode=1777") == 0)
        return true;
    *why = std::string("a private ") + folder + ": " + std::strerror(errno);
    return false;
}

bool PrivateXServer::Start(std::string* why) {
    int fds[2];
    if (pipe(fds) != 0) {
        *why = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const std::string fd = std::to_string(fds[1]);
    xvfb_ = std::make_unique<Child>(
        [&] {
            close(fds[0]);
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 1);
            dup2(quiet, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-br",
                   "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        },
        SIGTERM);
    close(fds[1]);
    // Xvfb writes the display number it took once it accepts connections.
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, 20000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
        *why = "Xvfb did not start (is it installed?)";
        return false;
    }
    display_ = ":" + number;
    return true;
}

TopLevelWatch::TopLevelWatch(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    connection_ = connection;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    netWmName_ = Atom("_NET_WM_NAME");
    wmProtocols_ = Atom("WM_PROTOCOLS");
    wmDeleteWindow_ = Atom("WM_DELETE_WINDOW");
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    // A round trip: the root is watched before the caller starts anything.
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

TopLevelWatch::~TopLevelWatch() {
    if (connection_) xcb_disconnect(connection_);
}

xcb_atom_t TopLevelWatch::Atom(const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(connection_, cookie, nullptr), &free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// Listens to the window's properties first, then reads the caption, so that a caption set in
// between is caught by one or the other.
void TopLevelWatch::Track(xcb_window_t window, std::string_view text) {
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
    ReadCaption(window, text);
}

void TopLevelWatch::ReadCaption(xcb_window_t window, std::string_view text) {
    for (const xcb_atom_t name : {netWmName_, xcb_atom_t{XCB_ATOM_WM_NAME}}) {
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(connection_, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> reply(
            xcb_get_property_reply(connection_, cookie, nullptr), &free);
        if (!reply || reply->format != 8) continue;
        const std::string caption(
            static_cast<const char*>(xcb_get_property_value(reply.get())),
            static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
        if (window == window_) currentCaption_ = caption;
        if (caption.find(text) != std::string::npos && !captionSeen_.contains(window)) {
            captionSeen_[window] = Clock::now();
            caption_ = caption;
        }
        return;
    }
}

// Where the program's window is drawn, in pixels of its client area as designed: a line across
// the middle, which its first paint fills, and the start of the list's first two rows, below its
// header, where a row's local address shows in dark text on white.
constexpr int MiddleLine = 240, ClientWidth = 552;
constexpr int RowsLeft = 10, RowsTop = 142, RowsWidth = 90, RowsHeight = 28;
constexpr int TextPixelsInARow = 20;

std::vector<std::uint32_t> TopLevelWatch::Pixels(int x, int y, int width, int height) {
    const xcb_get_image_cookie_t cookie = xcb_get_image(
        connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, static_cast<int16_t>(x),
        static_cast<int16_t>(y), static_cast<uint16_t>(width), static_cast<uint16_t>(height), ~0u);
    std::unique_ptr<xcb_get_image_reply_t, decltype(&free)> reply(
        xcb_get_image_reply(connection_, cookie, nullptr), &free);
    if (!reply || reply->depth != 24) return {};
    const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply.get()));
    return {data, data + xcb_get_image_data_length(reply.get()) / 4};
}

bool TopLevelWatch::awaitingPaint() const {
    return mapped_ && (!painted_ || (captioned() && !rowsPainted_));
}

void TopLevelWatch::LookAtPixels() {
    if (!awaitingPaint()) return;
    const Clock::time_point now = Clock::now();
    if (!painted_) {
        const auto line = Pixels(0, MiddleLine, ClientWidth, 1);
        if (std::ranges::any_of(line, [](std::uint32_t pixel) { return (pixel & 0xFFFFFF) != 0; }))
            painted_ = now;
    }
    if (painted_ && captioned() && !rowsPainted_) {
        const auto rows = Pixels(RowsLeft, RowsTop, RowsWidth, RowsHeight);
        const auto dark = std::ranges::count_if(rows, [](std::uint32_t pixel) {
            return ((pixel >> 16 & 0xFF) + (pixel >> 8 & 0xFF) + (pixel & 0xFF)) < 3 * 128;
        });
        if (dark >= TextPixelsInARow) rowsPainted_ = now;
    }
}

bool TopLevelWatch::Update(std::string_view text) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        std::unique_ptr<xcb_generic_event_t, decltype(&free)> owned(event, &free);
        switch (event->response_type & 0x7f) {
            case XCB_CREATE_NOTIFY: {
                const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
                if (created->parent == root_ && !created->override_redirect)
                    Track(created->window, text);
                break;
            }
            case XCB_MAP_NOTIFY: {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (map->event != root_ || map->override_redirect || mapped_) break;
                mapped_ = Clock::now();
                window_ = map->window;
                ReadCaption(window_, text);
                break;
            }
            case XCB_PROPERTY_NOTIFY: {
                const auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
                if (property->atom == netWmName_ || property->atom == XCB_ATOM_WM_NAME)
                    ReadCaption(property->window, text);
                if (property->atom == netWmName_ && property->window == window_) ++captionChanges_;
                break;
            }
            default: break;  // errors for windows already gone, and the rest
        }
    }
    LookAtPixels();
    return captioned().has_value();
}

std::optional<TopLevelWatch::Clock::time_point> TopLevelWatch::captioned() const {
    const auto seen = captionSeen_.find(window_);
    if (!mapped_ || seen == captionSeen_.end()) return std::nullopt;
    return std::max(*mapped_, seen->second);
}

void TopLevelWatch::RequestClose() {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window_;
    event.type = wmProtocols_;
    event.data.data32[0] = wmDeleteWindow_;
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window_, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
}
