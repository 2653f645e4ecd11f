// The windows, driven as a user drives them: clicks and keys on the real widgets, with the table
// source and the desktop (message boxes, the browser) stood in for.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "Module2.h"
#include "frmMain.h"
#include "maker.h"
#include "recording_desktop.h"

namespace {

using Message = RecordingDesktop::Message;

// The window of that class that is shown now; nullptr when there is none.
template <class Window>
Window* Shown() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

// Presses a button as an accessibility action does; the press must return while the window it
// opens is up. Were it to run an event loop of its own, this timer would end that loop by hiding
// the window.
void Press(QAbstractButton* button) {
    QTimer timer;
    timer.callOnTimeout([] { QApplication::activeModalWidget()->hide(); });
    timer.start(0);
    button->click();
}

}  // namespace

class TestWindows : public QObject {
    Q_OBJECT
    RecordingDesktop desktop;

private slots:
    void init() { desktop.messages.clear(), desktop.openedPages.clear(); }

    // The windows that the main window opened go with it.
    void cleanup() { QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty()); }

    // Each refresh lists the snapshot that the table source gives then, less the rows the
    // filters hide, and keeps the current connection current and in view where it was.
    void refresh() {
        TcpTable table;
        int reads = 0;
        frmMain main([&] { return ++reads, table; });
        QAbstractItemModelTester tester(const_cast<ConnectionModel*>(&main.connections()),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        for (int i = 0; i < 2000; ++i)
            table.rows.push_back(Row(5, "10.0.0.5", 20000 + i, "10.0.0.9", 443));
        table.rows.push_back(Row(2, "10.0.0.6", 8080, "10.0.0.7", 9));
        table.rows.push_back(Row(5, "127.0.0.1", 631, "10.0.0.9", 1));
        main.cmdRefresh->click();
        QStringList cells;
        for (int column = 0; column < 5; ++column)
            cells << main.connections().index(2000, column).data().toString();
        QCOMPARE(cells, (QStringList{"10.0.0.6", "8080", "10.0.0.7", "0", "LISTEN"}));
        QVERIFY(main.windowTitle().endsWith(" - 2001 shown, 1 hidden"));

        main.ListView1->setCurrentIndex(main.connections().index(1500, 2));
        main.ListView1->verticalScrollBar()->setValue(1400);
        table.rows.erase(table.rows.begin());  // a connection before it closes
        // A press that the refresh's own message pumping delivers is ignored.
        QTimer::singleShot(0, main.cmdRefresh, &QAbstractButton::click);
        main.cmdRefresh->click();
        QCoreApplication::processEvents();
        QCOMPARE(reads, 3);
        QCOMPARE(main.ListView1->currentIndex(), main.connections().index(1499, 2));
        QCOMPARE(main.ListView1->verticalScrollBar()->value(), 1400);

        // A table that cannot be read empties the list, and the title says why.
        table = {{}, "netlink: Permission denied"};
        main.cmdRefresh->click();
        QCOMPARE(main.connections().rowCount(), 0);
        QVERIFY(main.windowTitle().endsWith(
            " - the connection table could not be read: netlink: Permission denied"));
        QVERIFY(desktop.messages.empty());
    }

    // The list follows the window's outer size; a dimension that would come out negative keeps
    // its size.
    void listFollowsTheWindowSize() {
        frmMain main([] { return TcpTable{}; });
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        const QSize frame = main.frameGeometry().size() - main.size();
        main.resize(QSize(900, 700) - frame);
        QTRY_COMPARE(main.ListView1->geometry(), QRect(8, 120, 877, 554));
        main.resize(QSize(300, 100) - frame);
        QTRY_COMPARE(main.ListView1->geometry(), QRect(8, 120, 277, 554));
    }

    // Filter List and Add New Filter are modal. The add window keeps only digits and full stops
    // of typed and pasted text, refuses what could never match and what is listed already, then
    // adds, and the list follows.
    void filterWindows() {
        frmMain main([] { return TcpTable{}; });
        main.show();
        Press(main.cmdFilter);
        auto* filters = qobject_cast<frmFilter*>(QApplication::activeModalWidget());
        QVERIFY(filters);
        Press(filters->cmdAdd);
        QPointer<frmAddNew> add = qobject_cast<frmAddNew*>(QApplication::activeModalWidget());
        QVERIFY(add);
        QTest::keyClicks(add->Text1, "12a7.0 -.0");
        QApplication::clipboard()->setText("ip: .1 x");
        QTest::keyClick(add->Text1, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(add->Text1->text(), "127.0.0.1");
        QTest::keyClick(add->Text1, Qt::Key_Return);
        // The release of the Enter that closed the message box does not add again.
        QTest::keyRelease(add->Text1, Qt::Key_Return);
        QTest::keyClick(add->Combo1, Qt::Key_Down);  // Local Port, and the box is emptied
        QTest::keyClicks(add->Text1, "65536");
        add->cmdAdd->click();
        QTest::keyClick(add->Combo1, Qt::Key_Down);  // Remote IP
        QTest::keyClicks(add->Text1, "999");
        add->cmdAdd->click();
        QTest::keyClicks(add->Text1, "10.0.0.1");
        add->cmdAdd->click();
        QVERIFY(!add->isVisible());
        QCOMPARE(filters->lstFilter->item(4)->text(), "Remote IP = 10.0.0.1");

        // Delete Entry with no line selected warns; with one, it deletes that entry.
        filters->cmdDelete->click();
        filters->lstFilter->setCurrentRow(4);
        filters->cmdDelete->click();
        QCOMPARE(RemoteIPList, FilterList({"192.168.1.1", "0.0.0.0"}));
        QCOMPARE(filters->lstFilter->count(), 4);
        const char* const caption = "Add New Filter";
        QCOMPARE(desktop.messages,
                 (std::vector<Message>{
                     {"Already added to filter list", caption, MessageIcon::Information},
                     {"Please enter a valid port No", caption, MessageIcon::Critical},
                     {"Please enter a valid IP Address", caption, MessageIcon::Critical},
                     {"The item does not exists in the filter list.", "Delete Entry",
                      MessageIcon::Warning}}));

        // Hidden, a window keeps its state; its close box destroys it, and the next press
        // builds it afresh.
        Press(filters->cmdAdd);
        QCOMPARE(QApplication::activeModalWidget(), add);
        QCOMPARE(add->Combo1->currentIndex(), 2);
        add->close();
        QTRY_VERIFY(!add);
        Press(filters->cmdAdd);
        add = qobject_cast<frmAddNew*>(QApplication::activeModalWidget());
        QVERIFY(add && add->Combo1->currentIndex() == 0);
    }

    // Each "&Copy Now" copies the list as it is then; the clipboard can be taken back at once by
    // another program, as an X11 owner can.
    void copyWindow() {
        TcpTable table;
        frmMain main([&] { return table; });
        main.show();
        Press(main.cmdCopy);
        frmCopy* copy = Shown<frmCopy>();
        QVERIFY(copy);
        table.rows = {Row(8, "10.0.0.6", 22, "10.0.0.20", 50123)};
        main.cmdRefresh->click();
        copy->Checks[3]->click();
        copy->cmdCopy->click();
        QClipboard* clipboard = QApplication::clipboard();
        QCOMPARE(clipboard->text(), "10.0.0.6\t10.0.0.20\t50123\t\r\n");
        for (const int column : {0, 2, 3}) copy->Checks[column]->click();
        copy->cmdCopy->click();
        const auto takeBack = [clipboard] { clipboard->setText("another program's text"); };
        connect(clipboard, &QClipboard::dataChanged, this, takeBack, Qt::SingleShotConnection);
        copy->Checks[0]->click();
        copy->cmdCopy->click();
        QVERIFY(copy->isVisible());
        QCOMPARE(desktop.messages,
                 (std::vector<Message>{{"The selected item(s) have been copied to clipboard.",
                                        "Form Copy", MessageIcon::Information},
                                       {"You must choost at-least one item to be copied.",
                                        "Form Copy", MessageIcon::Critical},
                                       {"The list could not be copied to the clipboard.",
                                        "Form Copy", MessageIcon::Critical}}));
    }

    // About is modal: Enter and Esc do not leave it, its link opens the maker's page, and a
    // click on a text leaves it. About Programmer appears only then.
    void aboutThenAboutProgrammer() {
        frmMain main([] { return TcpTable{}; });
        main.show();
        Press(main.cmdAbout);
        auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        QVERIFY(about);
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) QTest::keyClick(about, key);
        QTest::mouseClick(about->lblLink, Qt::LeftButton);
        QVERIFY(about->isVisible() && !Shown<frmAboutProgrammer>());
        QCOMPARE(desktop.openedPages, std::vector<std::string>{std::string(kMakerWebPage)});
        QTest::mouseClick(about->lbl[3], Qt::LeftButton);
        QVERIFY(!about->isVisible() && Shown<frmAboutProgrammer>());
    }

    // A close request ends the event loop with status 0 (the watchdog would give 2) and opens
    // the maker's page; a close arriving after it, as at the end of a session, opens nothing.
    void closeRequestExits() {
        frmMain main([] { return TcpTable{}; });
        main.show();
        QTimer::singleShot(10'000, &main, [] { QCoreApplication::exit(2); });
        QTimer::singleShot(0, &main, &QWidget::close);
        QCOMPARE(QApplication::exec(), 0);
        main.close();
        QCOMPARE(desktop.openedPages, std::vector<std::string>{std::string(kMakerWebPage)});
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
