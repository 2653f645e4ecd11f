#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

#include "app/display.h"
#include "app/process_end.h"
#include "app/running_mark.h"
#include "core/base/large_buffers.h"
#include "core/table/tcp_table.h"
#include "gui/main/frmMain.h"
#include "kit/background_priority.h"
#include "kit/real_desktop.h"

namespace {

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

// The table read from the start, beside the making of the application and the window: the
// window's first refresh takes it (on the refresh's own thread), every later one reads anew.
// Nobody waits for the read at the end; where no thread starts, the first refresh reads.
TableSource ReadFromTheStart() {
    auto first = std::make_shared<std::promise<TcpTable>>();
    auto taken = std::make_shared<std::future<TcpTable>>(first->get_future());
    try {
        std::thread([first] {
            RunBelowTheWindow();
            try {
                first->set_value(GetTcpTable());
            } catch (...) {
                first->set_exception(std::current_exception());
            }
        }).detach();
    } catch (const std::system_error&) {
        return &GetTcpTable;
    }
    return [taken] { return taken->valid() ? taken->get() : GetTcpTable(); };
}

}  // namespace

int main(int argc, char* argv[]) {
    ReturnLargeBuffersWhenFreed();
    MarkProgramRunning();
    if (!DisplayOffered()) {
        std::fputs(
            "korvane-sockview: no display to show the window on (neither WAYLAND_DISPLAY nor "
            "DISPLAY is set)\n",
            stderr);
        return 1;
    }
    TableSource tableSource = ReadFromTheStart();

    int status = 0;
    {
        const QtMessageHandler defaultHandler = qInstallMessageHandler(StartupMessages);
        QApplication app(argc, argv);
        qInstallMessageHandler(defaultHandler);

        RealDesktop desktop;
        InstallDesktop(desktop);
        frmMain window(std::move(tableSource), RowDetails::SystemSources());
        window.show();
        status = app.exec();
    }  // the window goes, then the application, which hands copied text to the clipboard manager
    // A table read, an owner look or a host name lookup may still run beside the window: nobody
    // waits for it, nor tears down what it may still use.
    std::fflush(nullptr);
    EndProcess(status);
}
