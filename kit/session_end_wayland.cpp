#include <QSocketNotifier>
#include <cstdlib>
#include <cstring>

#include "kit/session_end.h"

// clang-format off: Qt's headers before libSM's, whose macros (Bool, Status) they refuse.
#include <X11/SM/SMlib.h>
// clang-format on

namespace {

// The desktops' session managers (gnome-session, ksmserver) speak XSMP in a Wayland session too
// (SESSION_MANAGER), over ICE rather than the X server; Qt's Wayland platform does not, so the
// program registers itself, as Qt's X11 platform does. Every save is answered at once, as done;
// the manager's "die" is the session's end.
class SessionManagerClient : public QObject {
public:
    SessionManagerClient(QObject& context, std::function<void()> end)
        : QObject(&context), end_(std::move(end)) {
        SmcCallbacks callbacks;
        std::memset(&callbacks, 0, sizeof callbacks);
        callbacks.save_yourself.callback = [](SmcConn connection, SmPointer, int, Bool, int, Bool) {
            SmcSaveYourselfDone(connection, True);
        };
        callbacks.die.callback = [](SmcConn, SmPointer client) {
            static_cast<SessionManagerClient*>(client)->end_();
        };
        callbacks.die.client_data = this;
        callbacks.save_complete.callback = [](SmcConn, SmPointer) {};
        callbacks.shutdown_cancelled.callback = [](SmcConn, SmPointer) {};
        char* id = nullptr;
        char error[256] = {};
        connection_ = SmcOpenConnection(nullptr, this, SmProtoMajor, SmProtoMinor,
                                        SmcSaveYourselfProcMask | SmcDieProcMask |
                                            SmcSaveCompleteProcMask | SmcShutdownCancelledProcMask,
                                        &callbacks, nullptr, &id, sizeof error, error);
        std::free(id);
        if (connection_ == nullptr) return;  // no session manager: nothing to end
        IceConn ice = SmcGetIceConnection(connection_);
        auto* messages = new QSocketNotifier(IceConnectionNumber(ice), QSocketNotifier::Read, this);
        connect(messages, &QSocketNotifier::activated, this, [this, ice, messages] {
            if (IceProcessMessages(ice, nullptr, nullptr) != IceProcessMessagesIOError) return;
            messages->setEnabled(false);  // the manager went
        });
    }
    ~SessionManagerClient() override {
        if (connection_ != nullptr) SmcCloseConnection(connection_, 0, nullptr);
    }

private:
    std::function<void()> end_;
    SmcConn connection_ = nullptr;
};

}  // namespace

void WhenTheWaylandSessionEnds(QObject& context, std::function<void()> end) {
    new SessionManagerClient(context, std::move(end));
}
