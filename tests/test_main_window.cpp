#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QScrollBar>
#include <QTreeView>
#include <QtTest>

#include "frmMain.h"
#include "Module2.h"
#include "tests/recording_desktop.h"

namespace {

QStringList Cells(const frmMain& window, int row) {
    QStringList cells;
    for (int column = 0; column < 5; ++column)
        cells << window.connections().index(row, column).data().toString();
    return cells;
}

int ListedRows(const frmMain& window) { return window.connections().rowCount(); }

std::vector<TcpRow> ManyConnections(int count) {
    std::vector<TcpRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(Row(5, "10.0.0.5", static_cast<std::uint16_t>(20000 + i), "10.0.0.9", 443));
    return rows;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    RecordingDesktop desktop;

private slots:
    void init() { desktop = {}; InstallDesktop(desktop); }

    void startupListsWhatTheInitialFiltersLeave() {
        desktop.table.rows = {
            Row(2, "0.0.0.0", 22, "0.0.0.0", 0),          Row(5, "10.0.0.5", 40000, "10.0.0.9", 443),
            Row(2, "10.0.0.5", 8080, "10.0.0.7", 9),      Row(5, "10.0.0.5", 49152, "10.0.0.9", 65535),
            Row(5, "127.0.0.1", 631, "127.0.0.1", 50000), Row(5, "10.0.0.5", 50000, "192.168.1.1", 53),
            Row(11, "10.0.0.5", 50001, "0.0.0.0", 0),     Row(0, "10.0.0.6", 1, "10.0.0.7", 2),
        };
        frmMain window;
        QAbstractItemModelTester tester(const_cast<ConnectionModel*>(&window.connections()),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(ListedRows(window), 4);
        QCOMPARE(Cells(window, 0), (QStringList{"10.0.0.5", "40000", "10.0.0.9", "443", "ESTAB"}));
        QCOMPARE(Cells(window, 1), (QStringList{"10.0.0.5", "8080", "10.0.0.7", "0", "LISTEN"}));
        QCOMPARE(Cells(window, 2), (QStringList{"10.0.0.5", "49152", "10.0.0.9", "65535", "ESTAB"}));
        QCOMPARE(Cells(window, 3), (QStringList{"10.0.0.6", "1", "10.0.0.7", "2", "UNDEFINED"}));
        QVERIFY(window.windowTitle().startsWith("Korvane Sockview - Sockview status as of: "));
        QVERIFY2(window.windowTitle().endsWith(" - 4 shown, 4 hidden"), qPrintable(window.windowTitle()));
        QVERIFY(desktop.messages.empty());
    }

    void refreshesReplaceTheListAndFollowTheFilters() {
        desktop.table.rows = {Row(5, "10.0.0.5", 40000, "10.0.0.9", 443),
                              Row(5, "127.0.0.1", 631, "10.0.0.9", 1)};
        frmMain window;
        window.cmdRefresh->click();
        window.cmdRefresh->click();
        QCOMPARE(ListedRows(window), 1);

        // Changing the filters does not touch the list until the next refresh.
        RemoveFilter(FilterKinds::LocalIP, "127.0.0.1");
        QCOMPARE(ListedRows(window), 1);
        window.cmdRefresh->click();
        QCOMPARE(ListedRows(window), 2);
        QCOMPARE(Cells(window, 1)[0], "127.0.0.1");

    }

    void everyRowIsListed() {
        desktop.table.rows = ManyConnections(5000);
        frmMain window;
        QCOMPARE(ListedRows(window), 5000);
        QVERIFY(window.windowTitle().endsWith(" - 5000 shown, 0 hidden"));
    }

    void unreadableTableEmptiesTheListAndSaysWhy() {
        desktop.table.rows = ManyConnections(3);
        frmMain window;
        QCOMPARE(ListedRows(window), 3);
        desktop.table = {{}, "netlink: Permission denied"};
        window.cmdRefresh->click();
        QCOMPARE(ListedRows(window), 0);
        QVERIFY2(window.windowTitle().endsWith(
                     " - the connection table could not be read: netlink: Permission denied"),
                 qPrintable(window.windowTitle()));
        QVERIFY(desktop.messages.empty());

    }

    void refreshAskedForDuringARefreshIsIgnored() {
        desktop.table.rows = ManyConnections(10);
        frmMain window;
        QTimer::singleShot(0, window.cmdRefresh, &QAbstractButton::click);
        window.cmdRefresh_Click();
        QCoreApplication::processEvents();
        QCOMPARE(desktop.tableReads, 2);  // start-up, then the one press that was not nested
        QCOMPARE(ListedRows(window), 10);
    }

    void currentConnectionAndScrollSurviveARefresh() {
        desktop.table.rows = ManyConnections(2000);
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTreeView* list = window.ListView1;
        list->setCurrentIndex(window.connections().index(1500, 2));
        list->verticalScrollBar()->setValue(1400);

        // A connection before it closes: the current one moves up a row but stays current.
        desktop.table.rows.erase(desktop.table.rows.begin());
        window.cmdRefresh->click();
        QCOMPARE(list->currentIndex().row(), 1499);
        QCOMPARE(list->currentIndex().column(), 2);
        QCOMPARE(Cells(window, 1499)[1], "21500");
        QCOMPARE(list->verticalScrollBar()->value(), 1400);

        // Once it is gone, the list starts at the top with nothing current.
        desktop.table.rows.erase(desktop.table.rows.begin() + 1499);
        window.cmdRefresh->click();
        QVERIFY(!list->currentIndex().isValid());
        QCOMPARE(list->verticalScrollBar()->value(), 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
