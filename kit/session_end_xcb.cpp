#include <QGuiApplication>

#include "kit/session_end.h"

// An X11 session manager asks the programs to commit their data at every save of the session,
// and tells them to die only at its end; on X11, Qt then closes every window, and the window's
// close is the program's end. Nothing to add there.
void WhenTheSessionEnds(QObject& context, std::function<void()> end) {
    if (QGuiApplication::platformName() == QLatin1String("wayland"))
        WhenTheWaylandSessionEnds(context, std::move(end));
}
