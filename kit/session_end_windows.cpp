#include <QGuiApplication>
#include <QSessionManager>

#include "kit/session_end.h"

// Windows asks the programs to commit their data only when the session ends
// (WM_QUERYENDSESSION); its end follows without a word more.
void WhenTheSessionEnds(QObject& context, std::function<void()> end) {
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &context,
                     [end = std::move(end)](QSessionManager&) { end(); });
}
