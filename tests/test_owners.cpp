// Who holds each listed connection, as the main window's list tells it: real loopback connections
// in a network namespace of the test's own.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>

#include "core/filters.h"
#include "core/tcp_table.h"
#include "tests/support/network_namespace.h"
#include "windows/main/frmMain.h"

namespace {

QStringList Texts(const frmMain& window, int role) {
    const ConnectionModel& model = window.connections();
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.data(model.index(row, 0), role).toString();
    return texts;
}

}  // namespace

class TestOwners : public QObject {
    Q_OBJECT
private slots:
    void init() {
        std::string why;
        QVERIFY2(EnterPrivateNetworkNamespace(&why), why.c_str());
    }

    // A child named sockview-holder keeps one connection open and has closed another first.
    void tooltipsTellTheHolder() {
        int ready[2];
        QVERIFY(pipe(ready) == 0);
        const pid_t holder = fork();
        if (holder == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // ends with the test, failed or not
            prctl(PR_SET_NAME, "sockview-holder");
            const int listener = Listen("127.0.0.2", 8080);
            const int closing = ConnectFrom("127.0.0.4", "127.0.0.2", 8080);
            const int closingPeer = accept(listener, nullptr, nullptr);
            close(closing);
            close(closingPeer);
            ConnectFrom("127.0.0.3", "127.0.0.2", 8080);
            accept(listener, nullptr, nullptr);
            _exit(write(ready[1], "", 1) == 1 ? pause() : 1);
        }
        char text[200] = {};
        QVERIFY(read(ready[0], text, 1) == 1);
        frmMain window(&GetTcpTable, SystemOwnerScan());
        const QString holderText = QStringLiteral("Process: sockview-holder (PID %1)\nUser: root");
        QTRY_COMPARE((window.cmdRefresh_Click(), Texts(window, Qt::ToolTipRole)),
                     QStringList({holderText.arg(holder), holderText.arg(holder),
                                  "No process: the connection is closing"}));
        QCOMPARE(Texts(window, Qt::AccessibleDescriptionRole), Texts(window, Qt::ToolTipRole));

        // Asked by a user who may not look into root's processes: nobody.
        QVERIFY(pipe(ready) == 0);
        if (fork() == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
            const std::string text =
                OwnerText(SocketOwners().Owner(window.connections().rows()[0]), false);
            _exit(write(ready[1], text.data(), text.size()) > 0 ? 0 : 1);
        }
        QVERIFY(read(ready[0], text, sizeof text - 1) > 0);
        QCOMPARE(text, "Process: not visible without administrator rights\nUser: root");

        window.cmdRefresh_Click();
        kill(holder, SIGKILL);
        waitpid(holder, nullptr, 0);
        QCOMPARE(Texts(window, Qt::ToolTipRole).first(), "Process: ended");
    }
};

QTEST_MAIN(TestOwners)
#include "test_owners.moc"
