#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "app/frmMain.h"
#include "app/real_desktop.h"
#include "app/single_window.h"

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Qt answers a display it cannot open with a fatal error that aborts; say it in one line and
// leave with status 1 instead. Its warnings before that would only repeat the same news.
void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) return;
    const QString firstLine = message.section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "korvane-sockview: cannot open the display: %s\n",
                 firstLine.toLocal8Bit().constData());
    std::fflush(stderr);
    _exit(1);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!Set("QT_QPA_PLATFORM") && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
        std::fputs("korvane-sockview: no display to show the window on (DISPLAY is not set)\n",
                   stderr);
        return 1;
    }
    const QtMessageHandler defaultHandler = qInstallMessageHandler(StartupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(defaultHandler);

    RealDesktop desktop;
    InstallDesktop(desktop);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &DestroySecondaryWindows);

    frmMain window;
    window.show();
    return app.exec();
}
