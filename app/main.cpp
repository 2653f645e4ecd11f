#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/frmMain.h"
#include "app/real_desktop.h"
#include "app/single_window.h"

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

QString firstStartupWarning;

// Qt answers a display it cannot open with a warning that names it and then a fatal error that
// aborts; say it in one line and leave with status 1 instead.
void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    const QString firstLine = message.section(QLatin1Char('\n'), 0, 0);
    if (type != QtFatalMsg) {
        if (firstStartupWarning.isEmpty()) firstStartupWarning = firstLine;
        return;
    }
    const QString reason = firstStartupWarning.isEmpty() ? firstLine : firstStartupWarning;
    std::fprintf(stderr, "korvane-sockview: cannot open the display: %s\n",
                 reason.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
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
