#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "kit/close_requests.h"

namespace {

xcb_atom_t Atom(const char* name) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) return XCB_ATOM_NONE;
    xcb_connection_t* connection = x11->connection();
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection,
                              xcb_intern_atom(connection, false, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

bool IsCloseRequest(const QByteArray& eventType, const void* message, WId window) {
    if (eventType != "xcb_generic_event_t") return false;
    // The high bit only says that another client sent the event, as every close request is sent.
    if ((static_cast<const xcb_generic_event_t*>(message)->response_type & 0x7f) !=
        XCB_CLIENT_MESSAGE)
        return false;
    const auto* request = static_cast<const xcb_client_message_event_t*>(message);
    if (request->window != window || request->format != 32) return false;
    static const xcb_atom_t protocols = Atom("WM_PROTOCOLS");
    static const xcb_atom_t deleteWindow = Atom("WM_DELETE_WINDOW");
    return request->type == protocols && request->data.data32[0] == deleteWindow;
}
