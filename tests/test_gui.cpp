// The windows, driven as a user drives them: clicks and keys on the real widgets, with the table
// source and the desktop (message boxes, the browser) stood in for.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <optional>

#include "core/list/row_text.h"
#include "gui/main/frmMain.h"
#include "kit/maker.h"
#include "tests/support/gate.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/rows.h"

using enum MessageIcon;
using namespace std::chrono_literals;

namespace {

// Presses a button as an accessibility action does; the press must return while the window it
// opens is up. Were it to run an event loop of its own, this timer would end that loop by hiding
// the window.
void Press(QAbstractButton* button) {
    const QObject pressing;
    QTimer::singleShot(0, &pressing, [] { QApplication::activeModalWidget()->hide(); });
    button->click();
}

// The modal window that a press opened, if it is of that class.
template <class Window>
Window* Opened(QAbstractButton* button) {
    Press(button);
    return qobject_cast<Window*>(QApplication::activeModalWidget());
}

// What the main window reads, shared with its reads, which may outlive a test.
struct TableStub {
    TcpTable table;
    std::atomic<bool> throws = false;  // something other than an exception
    std::atomic<int> reads = 0;
    std::timed_mutex gate;
};

// Looks up a host's or a service's name and finds none.
const auto NoName = [](const auto&) { return std::optional<std::string>(); };

}  // namespace

class TestGui : public QObject {
    Q_OBJECT
    RecordingDesktop desktop;
    std::shared_ptr<TableStub> stub;
    std::optional<frmMain> main;

    void showMain(OwnerLookup lookup) {
        main.emplace(
            [stub = stub] {
                Pass(stub->gate);
                if (++stub->reads, stub->throws) throw 0;
                return stub->table;
            },
            RowDetails::Sources{std::move(lookup), NoName, NoName,
                                [](const TcpRow&) { return SocketNow{}; }});
        main->show();
    }
    // Waits for the rows of the refresh under way.
    bool listRead() {
        return QTest::qWaitFor(
            [&] { return main->lstConnections->cursor().shape() == Qt::ArrowCursor; });
    }
    bool refreshed() { return main->cmdRefresh->click(), listRead(); }

private slots:
    // Each test starts as the program does, with the main window shown, over an empty table.
    void init() {
        desktop.messages.clear();
        desktop.openedPages.clear();
        stub = std::make_shared<TableStub>();
        showMain([](const std::vector<TcpRow>&, std::stop_token) { return nullptr; });
        QVERIFY(listRead());
    }

    // The windows that the main window opened go with it.
    void cleanup() {
        main.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // Each refresh lists what the table source gives then, less the rows the filters hide. While
    // the table is read, the list is empty under a wait cursor, another button answers and a
    // second press of Refresh List is ignored.
    void refresh() {
        stub->table.rows = {Row(2, "10.0.0.6", 8080, "10.0.0.7", 9),
                            Row(5, "127.0.0.1", 631, "1.0.0.1", 1)};
        QVERIFY(refreshed());
        QCOMPARE(main->connections().index(0, 3).data().toString(), "0");  // a listener's
        QVERIFY(main->windowTitle().endsWith(" - 1 shown, 1 hidden, 1 new"));

        // The current connection stays current where it moved to, selected only if it was: here
        // it is current as the focus makes a row, unselected.
        auto* list = main->lstConnections;
        list->selectionModel()->setCurrentIndex(main->connections().index(0, 2),
                                                QItemSelectionModel::NoUpdate);
        stub->table.rows.insert(stub->table.rows.begin(), Row(5, "10.0.0.5", 1, "10.0.0.7", 2));
        stub->gate.lock();
        for (int press = 0; press < 2; ++press) main->cmdRefresh->click();
        QCOMPARE(list->cursor().shape(), Qt::WaitCursor);
        QCOMPARE(main->windowTitle(), "Korvane Sockview - reading the connection table...");
        QVERIFY(Opened<frmFilter>(main->cmdFilter) && main->connections().rowCount() == 0);
        stub->gate.unlock();
        QVERIFY(listRead());
        QCOMPARE(list->currentIndex(), main->connections().index(1, 2));
        QVERIFY(!list->selectionModel()->hasSelection());

        // A table that cannot be read empties the list, and the title says why, whatever failed.
        stub->table = {{}, "refused"};
        QVERIFY(refreshed());
        QCOMPARE(main->connections().rowCount(), 0);
        QVERIFY(main->windowTitle().endsWith(" - the connection table could not be read: refused"));
        stub->throws = true;
        QVERIFY(refreshed());
        QVERIFY(main->windowTitle().endsWith("could not be read: unknown failure"));
        QVERIFY(desktop.messages.empty());
        QCOMPARE(stub->reads, 5);

        // The list moves as a list does: Home and End go to the first and the last row. A
        // refresh leaves the list scrolled as it was.
        stub->throws = false;
        for (std::uint16_t port = 1000; port < 1200; ++port)
            stub->table.rows.push_back(Row(5, "10.0.0.5", port, "10.0.0.9", 80));
        QVERIFY(refreshed());
        list->setCurrentIndex(main->connections().index(120, 0));
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(list->currentIndex().row(), 199);
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(list->currentIndex().row(), 0);
        list->setCurrentIndex(main->connections().index(120, 0));
        const int scrolled = list->verticalScrollBar()->value() - 3;
        list->verticalScrollBar()->setValue(scrolled);
        QVERIFY(refreshed());
        QCOMPARE(list->verticalScrollBar()->value(), scrolled);
    }

    // The list alone, watched by the model checker from before its first row: a row's tooltip and
    // description are what the describer says, a tooltip that looks like markup shows as typed, a
    // new row has a background of its own, and more said changes the rows' descriptions.
    void connectionModel() {
        ConnectionModel model([](const TcpRow& row, bool isNew) {
            return std::string(isNew ? "new " : "") + "<b>" + CellText(1, row) + "</b>";
        });
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setRows(
            std::make_shared<const std::vector<TcpRow>>(std::vector{
                Row(5, "10.0.0.5", 1, "10.0.0.7", 2), Row(5, "10.0.0.5", 3, "10.0.0.7", 2),
                Row(2, "10.0.0.5", 4, "10.0.0.8", 0), Row(2, "10.0.0.5", 5, "10.0.0.8", 0)}),
            {false, true, false, false});
        const auto text = [&](int row, int role) {
            return model.index(row, 0).data(role).toString();
        };
        QCOMPARE(text(1, Qt::AccessibleDescriptionRole), "new <b>3</b>");
        QCOMPARE(text(0, Qt::ToolTipRole), "<p style='white-space:pre'>&lt;b&gt;1&lt;/b&gt;</p>");
        QCOMPARE(text(0, Qt::BackgroundRole) + '|' + text(1, Qt::BackgroundRole),
                 '|' + ConnectionModel::NewRowColour.name());
        model.describedAgain();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][1].value<QModelIndex>().row(), 3);
    }

    // What a row tells while the look at the owners runs and once it is in; the look is handed
    // the very rows shown, one that fails says why, and one that a newer look replaced is
    // dropped. The remote host's name, the service and the traffic or queue follow as they come;
    // a listener and a remote 0.0.0.0 have no remote host. A look that ends after its details are
    // gone hands nothing to them.
    void rowDetails() {
        const auto lookMayEnd = std::make_shared<std::timed_mutex>(),
                   nameMayCome = std::make_shared<std::timed_mutex>();
        std::unique_lock holdName(*nameMayCome);
        const ShownRows rows = std::make_shared<const std::vector<TcpRow>>(std::vector{
            Row(5, "10.0.0.5", 1, "10.0.0.7", 2, 9), Row(2, "10.0.0.5", 4, "10.0.0.8", 0, 9),
            Row(5, "10.0.0.5", 5, "0.0.0.0", 0, 9)});  // socket 9, held by process 7
        std::optional<RowDetails> details(
            std::in_place,
            RowDetails::Sources{
                [=](const std::vector<TcpRow>& handed, std::stop_token) {
                    if (&handed != rows.get()) throw std::runtime_error("<b>x</b>");
                    Pass(*lookMayEnd);
                    return std::make_shared<const OwnerIndex>(
                        ProcessTable{{{7, 0, "x", "alice", {9}, "/bin/x"}}}, handed);
                },
                [=](const Ipv4Address&) {
                    return Pass(*nameMayCome), std::optional<std::string>("peer.test");
                },
                [](std::uint16_t port) {
                    return port ? std::optional<std::string>(port == 2 ? "two" : "four")
                                : std::nullopt;
                },
                [=](const TcpRow& row) {
                    using enum SocketNow::Kind;
                    if (row == (*rows)[0])
                        return SocketNow{Seen, Traffic{1536, 10, 2500ms, 1500us}};
                    if (row == (*rows)[1]) return SocketNow{Seen, {}, AcceptQueue{3, 128}};
                    return SocketNow{Refused};
                }});
        QSignalSpy known(&*details, &RowDetails::ownersKnown);
        const auto text = [&](int row, bool isNew = false) {
            return QString::fromStdString(details->describe((*rows)[row], isNew));
        };
        // Waits for the rows' texts as their answers come in. A question is a new lookup of a
        // socket once its figures are a second old, so each is asked until then, not after.
        const auto comeToRead = [&](const QString& expected) {
            const auto texts = [&] { return text(0) + '|' + text(1) + '|' + text(2); };
            return QTest::qWaitFor([&] { return texts() == expected; }) ? QString() : texts();
        };
        lookMayEnd->lock();
        details->lookAt(rows, {PortField(4)});
        QCOMPARE(text(0, true) + '|' + text(1),  // a listener has no traffic to look up
                 "New since the last refresh\nProcess: looking up...\nRemote host: looking up...\n"
                 "Traffic now: looking up...|Process: looking up...");
        lookMayEnd->unlock();
        QTRY_COMPARE(known.size(), 1);
        // The owner (%1) and the remote host (%2) of the connection, the listener and the other.
        const QString texts =
            "%1\nRemote host: %2\nService: two (remote port 2)\nTraffic now: 1.5 KB sent, 10 B "
            "received, last data 2 s ago, round trip 1.5 ms|"
            "%1\nService: four (local port 4)\nWaiting to be accepted: 3 of at most 128|"
            "%1\nTraffic now: not visible without administrator rights";
        const QString owner = "Process: x (PID 7)\nProgram: /bin/x\nUser: alice";
        QCOMPARE(comeToRead(texts.arg(owner, "looking up...")), QString());
        holdName.unlock();
        QCOMPARE(comeToRead(texts.arg(owner, "peer.test")), QString());

        lookMayEnd->lock();
        details->lookAt(rows, {});
        details->lookAt(std::make_shared<const std::vector<TcpRow>>(*rows), {});
        QTRY_COMPARE(known.size(), 2);
        lookMayEnd->unlock();
        QTRY_COMPARE(lookMayEnd.use_count(), 2);  // here and in the details' own lookup
        QCoreApplication::processEvents();        // where the replaced look's answer would go
        QVERIFY(text(0).startsWith("Process: unknown (<b>x</b>)\nRemote host: peer.test"));

        lookMayEnd->lock();
        details->lookAt(rows, {});
        details.reset();
        lookMayEnd->unlock();
        QTRY_COMPARE(lookMayEnd.use_count(), 1);
        QCoreApplication::processEvents();
    }

    // Filter List and Add New Filter are modal. The add window keeps only digits and full stops
    // of typed and pasted text, refuses what could never match and what is listed already, then
    // adds, and the list follows. Delete Entry deletes the selected entry, or warns.
    void filterWindows() {
        auto* filters = Opened<frmFilter>(main->cmdFilter);
        QVERIFY(filters);
        QPointer<frmAddNew> add = Opened<frmAddNew>(filters->cmdAdd);
        QVERIFY(add);
        QTest::keyClicks(add->txtValue, "12a7.0 -.0");   // only "127.0.0" reaches the box
        QApplication::clipboard()->setText("ip: .1 x");  // and only ".1" of the pasted text
        QTest::keyClick(add->txtValue, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(add->txtValue, Qt::Key_Return);
        // The release of the Enter that closed the message box does not add again.
        QTest::keyRelease(add->txtValue, Qt::Key_Return);
        for (int step = 0; step < 2; ++step) QTest::keyClick(add->cboKind, Qt::Key_Down);
        // Now Remote IP, and the box was emptied.
        QTest::keyClicks(add->txtValue, "999");
        add->cmdAdd->click();
        QTest::keyClicks(add->txtValue, "10.0.0.1");
        add->cmdAdd->click();
        QVERIFY(!add->isVisible());
        // Shown again, the list has the focus on no line, and frames itself in a line of its own.
        // Minimised alone, as a window manager may, it comes back.
        main->cmdFilter->click();
        QListWidget* lines = filters->lstFilter;
        QTRY_COMPARE(lines->viewport()->grab().toImage().pixelColor(0, 0),
                     lines->palette().color(QPalette::Highlight));
        QVERIFY(!lines->currentIndex().isValid());
        filters->showMinimized();
        QTRY_VERIFY(!filters->isMinimized());
        QCOMPARE(filters->lstFilter->findItems("Remote IP = 10.0.0.1", Qt::MatchExactly).size(), 1);
        filters->cmdDelete->click();
        filters->lstFilter->setCurrentRow(4);
        filters->cmdDelete->click();
        QCOMPARE(filters->lstFilter->count(), 4);
        const std::vector<RecordingDesktop::Message> said = {
            {"Already added to filter list", "Add New Filter", Information},
            {"Please enter a valid IP Address", "Add New Filter", Critical},
            {"The item does not exists in the filter list.", "Delete Entry", Warning}};
        QCOMPARE(desktop.messages, said);

        // Hidden, a window keeps its state; its close box destroys it, and the next press
        // builds it afresh.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // were it destroyed
        QCOMPARE(Opened<frmAddNew>(filters->cmdAdd), add);
        QCOMPARE(add->cboKind->currentIndex(), 2);
        add->close();
        QTRY_VERIFY(!add);
        add = Opened<frmAddNew>(filters->cmdAdd);
        QVERIFY(add && add->cboKind->currentIndex() == 0);
    }

    // Each "&Copy Now" copies the list as it is then; while the table is read, it copies the
    // rows of the read once they are in, and the clipboard keeps its text until then. Another
    // program can take the clipboard back at once, as an X11 owner can.
    void copyWindow() {
        Press(main->cmdCopy);
        QTRY_VERIFY(qobject_cast<frmCopy*>(QApplication::activeWindow()));
        auto* copy = static_cast<frmCopy*>(QApplication::activeWindow());
        QClipboard* clipboard = QApplication::clipboard();
        clipboard->setText("the user's text");
        stub->table.rows = {Row(8, "10.0.0.6", 22, "10.0.0.20", 50123)};
        stub->gate.lock();
        main->cmdRefresh->click();
        copy->chkColumns[3]->click();
        copy->cmdCopy->click();
        QCOMPARE(clipboard->text(), "the user's text");
        QVERIFY(desktop.messages.empty());
        stub->gate.unlock();
        QTRY_COMPARE(clipboard->text(), "10.0.0.6\t10.0.0.20\t50123\t\r\n");
        for (const int column : {0, 2, 3}) copy->chkColumns[column]->click();
        copy->cmdCopy->click();
        std::vector<RecordingDesktop::Message> said = {
            {"The selected item(s) have been copied to clipboard.", "Form Copy", Information},
            {"You must choost at-least one item to be copied.", "Form Copy", Critical}};
        QCOMPARE(desktop.messages, said);
        if (QGuiApplication::platformName() == "windows")
            QSKIP("Windows tells of a clipboard change only later, through the event loop");
        const auto takeBack = [clipboard] { clipboard->setText("another program's text"); };
        connect(clipboard, &QClipboard::dataChanged, this, takeBack, Qt::SingleShotConnection);
        copy->chkColumns[0]->click();
        copy->cmdCopy->click();
        QVERIFY(copy->isVisible());
        said.push_back({"The list could not be copied to the clipboard.", "Form Copy", Critical});
        QCOMPARE(desktop.messages, said);
    }

    // About is modal: Enter and Esc do not leave it, its link opens the maker's page, and a
    // click on a text leaves it. About Programmer appears only then.
    void aboutThenAboutProgrammer() {
        auto* about = Opened<frmAbout>(main->cmdAbout);
        QVERIFY(about);
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) QTest::keyClick(about, key);
        QTest::mouseClick(about->lblLink, Qt::LeftButton);
        QCOMPARE(QApplication::topLevelWidgets().size(), 2);  // the main window and About
        QTest::mouseClick(about->lblLines[3], Qt::LeftButton);
        QTRY_VERIFY(!about->isVisible() &&
                    qobject_cast<frmAboutProgrammer*>(QApplication::activeWindow()));
        QCOMPARE(desktop.openedPages, std::vector<std::string>{std::string(MakerWebPage)});
    }

    // A row's tooltip is in the list's face, its text dark on its background, 4.5:1 at least;
    // shown while the owners are looked up, it tells them once they are in.
    void tooltip() {
        const auto lookMayEnd = std::make_shared<std::timed_mutex>();
        std::unique_lock holdLook(*lookMayEnd);
        stub->table.rows = {Row(5, "10.0.0.5", 1, "10.0.0.7", 2, 9)};
        showMain([=](const std::vector<TcpRow>& rows, std::stop_token) {
            Pass(*lookMayEnd);
            return std::make_shared<const OwnerIndex>(ProcessTable{{{7, 0, "x", "", {9}}}}, rows);
        });
        QVERIFY(listRead());
        auto* list = main->lstConnections;  // Qt shows the row's tooltip where the pointer rests
        QCursor::setPos(
            list->viewport()->mapToGlobal(list->visualRect(list->model()->index(0, 0)).center()));
        QTRY_VERIFY(QToolTip::text().startsWith("Process: looking up..."));
        holdLook.unlock();
        QTRY_VERIFY(QToolTip::text().startsWith("Process: x (PID 7)"));
        const QWidgetList windows = QApplication::topLevelWidgets();
        QWidget* tip = *std::ranges::find(windows, QString("qtooltip_label"), &QObject::objectName);
        QCOMPARE(QFontInfo(tip->font()).family(), QFontInfo(main->lstConnections->font()).family());
        // The relative luminance (on the sRGB curve) of the darkest and the lightest grey drawn.
        const QImage image = tip->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
        std::vector<uchar> greys;
        for (int y = 0; y < image.height(); ++y)
            greys.insert(greys.end(), image.constScanLine(y),
                         image.constScanLine(y) + image.width());
        const auto [darkest, lightest] = std::ranges::minmax(greys);
        const auto luminance = [](double v) { return std::pow((v / 255 + 0.055) / 1.055, 2.4); };
        QCOMPARE_GE((luminance(lightest) + 0.05) / (luminance(darkest) + 0.05), 4.5);
    }

    // A close request ends the event loop with status 0 (the watchdog would give 2) and opens
    // the maker's page at once, even at launch while the table is read; "&Exit" pressed after it
    // opens nothing more. The window goes at once, though the look at the owners of its rows does
    // not stop by itself.
    void closeRequestExits() {
        const auto lookMayEnd = std::make_shared<std::timed_mutex>();
        const std::unique_lock holdLook(*lookMayEnd);
        stub->gate.lock();
        showMain([=](const std::vector<TcpRow>&, std::stop_token) {
            return Pass(*lookMayEnd), nullptr;
        });
        QTimer::singleShot(10'000, &*main, [] { QCoreApplication::exit(2); });
        QTimer::singleShot(0, &*main, &QWidget::close);
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(desktop.openedPages, std::vector<std::string>{std::string(MakerWebPage)});
        stub->gate.unlock();
        QVERIFY(listRead());
        main->cmdClose->click();
        QCOMPARE(desktop.openedPages.size(), 1u);
        main.reset();
        QVERIFY(lookMayEnd.use_count() > 1);  // the look still holds it
    }
};

QTEST_MAIN(TestGui)
#include "test_gui.moc"
