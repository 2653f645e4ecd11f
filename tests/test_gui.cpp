// The windows, driven as a user drives them where the model of every press (test_presses) does
// not: the list's keys and scroll, its model alone, a row's details and tooltip, pasted text and
// Enter in the add-filter window, a clipboard that another program takes back. Clicks and keys on
// the real widgets, with the table source and the desktop (message boxes, the browser) stood in
// for.
#include <QtTest>
#include <QtWidgets>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>

#include "core/list/row_text.h"
#include "gui/main/frmMain.h"
#include "tests/support/gate.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/rows.h"

using enum MessageIcon;
using namespace std::chrono_literals;
using Said = std::vector<RecordingDesktop::Message>;

class TestGui : public QObject {
    Q_OBJECT
    RecordingDesktop desktop;
    std::shared_ptr<TcpTable> table;  // shared with the reads, which may outlive a test
    std::optional<frmMain> main;

    // Over the table, with the owners' look given; no name for a host or a service.
    void showMain(OwnerLookup lookup) {
        const auto noName = [](const auto&) { return std::optional<std::string>(); };
        main.emplace([table = table] { return *table; },
                     RowDetails::Sources{std::move(lookup), noName, noName,
                                         [](const TcpRow&) { return SocketNow{}; }});
        main->show();
    }
    // Waits for the rows of the refresh under way.
    bool listRead() {
        return QTest::qWaitFor(
            [&] { return main->lstConnections->cursor().shape() == Qt::ArrowCursor; });
    }
    bool refreshed() { return main->cmdRefresh->click(), listRead(); }
    // What the list tells of a row in the given role.
    QString told(int row, int role) {
        return main->connections().index(row, 0).data(role).toString();
    }

private slots:
    // Each test starts as the program does, with the main window shown, over an empty table.
    void init() {
        desktop.messages.clear();
        table = std::make_shared<TcpTable>();
        showMain([](const std::vector<TcpRow>&, std::stop_token) { return nullptr; });
        QVERIFY(listRead());
    }

    // The windows that the main window opened go with it.
    void cleanup() {
        main.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // The list moves as a list does: Home and End go to the first and the last row. The current
    // connection stays current where it moves to, selected only if it was, and in view where it
    // was: the list scrolls by the rows that came above it, which are new, drawn and said so. The
    // model checker watches the list from before its first row.
    void listNavigation() {
        QAbstractItemModelTester tester(main->lstConnections->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (std::uint16_t port = 1000; port < 1200; ++port)
            table->rows.push_back(Row(5, "10.0.0.5", port, "10.0.0.9", 80));
        QVERIFY(refreshed());
        auto* list = main->lstConnections;
        list->setCurrentIndex(main->connections().index(120, 0));
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(list->currentIndex().row(), 199);
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(list->currentIndex().row(), 0);
        list->selectionModel()->setCurrentIndex(main->connections().index(120, 2),
                                                QItemSelectionModel::NoUpdate);
        const int scrolled = list->verticalScrollBar()->value() - 3;
        list->verticalScrollBar()->setValue(scrolled);
        for (std::uint16_t port = 909; port >= 900; --port)
            table->rows.insert(table->rows.begin(), Row(2, "10.0.0.5", port, "0.0.0.1", 0));
        QVERIFY(refreshed());
        QCOMPARE(list->currentIndex(), main->connections().index(130, 2));
        QVERIFY(!list->selectionModel()->hasSelection());
        QCOMPARE(list->verticalScrollBar()->value(), scrolled + 10);
        QCOMPARE(main->connections().index(0, 3).data().toString(), "0");  // a listener's
        QCOMPARE(told(9, Qt::BackgroundRole), ConnectionModel::NewRowColour.name());
        QCOMPARE(told(10, Qt::BackgroundRole) + told(10, Qt::AccessibleDescriptionRole).left(9),
                 "Process: ");
        QVERIFY(told(9, Qt::AccessibleDescriptionRole).startsWith("New since the last refresh\n"));
    }

    // What a row tells while the look at the owners runs and once it is in; the look is handed
    // the very rows shown, one that fails says why, and one that a newer look replaced is
    // dropped. The remote host's name, the service and the traffic or queue follow as they come;
    // a listener and a remote 0.0.0.0 have no remote host. A look that ends after its details are
    // gone hands its answer to nothing, which lets it go.
    void rowDetails() {
        const auto lookMayEnd = std::make_shared<std::timed_mutex>(),
                   nameMayCome = std::make_shared<std::timed_mutex>();
        std::unique_lock holdName(*nameMayCome);
        const auto lastAnswer = std::make_shared<std::weak_ptr<const OwnerIndex>>();
        const ShownRows rows = std::make_shared<const std::vector<TcpRow>>(std::vector{
            Row(5, "10.0.0.5", 1, "10.0.0.7", 2, 9), Row(2, "10.0.0.5", 4, "10.0.0.8", 0, 9),
            Row(5, "10.0.0.5", 5, "0.0.0.0", 0, 9)});  // socket 9, held by process 7
        // Each row's figures at the moment asked.
        using enum SocketNow::Kind;
        const std::array nows{SocketNow{Seen, Traffic{1536, 10, 2500ms, 1500us}},
                              SocketNow{Seen, {}, AcceptQueue{3, 128}}, SocketNow{Refused}};
        auto details = std::make_unique<RowDetails>(RowDetails::Sources{
            [=](const std::vector<TcpRow>& handed, std::stop_token) {
                if (&handed != rows.get()) throw std::runtime_error("<b>x</b>");
                Pass(*lookMayEnd);
                const auto answer = std::make_shared<const OwnerIndex>(
                    ProcessTable{{{7, 0, "x", "alice", {9}, "/bin/x"}}}, handed);
                return *lastAnswer = answer, answer;
            },
            [=](const Ipv4Address&) {
                return Pass(*nameMayCome), std::optional<std::string>("peer.test");
            },
            [](std::uint16_t port) {
                return port ? std::optional<std::string>(port == 2 ? "two" : "four") : std::nullopt;
            },
            [=](const TcpRow& row) {
                return nows[std::ranges::find(*rows, row) - rows->begin()];
            }});
        QSignalSpy known(details.get(), &RowDetails::ownersKnown);
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
        QCoreApplication::processEvents();  // where its answer would go
        QVERIFY(lastAnswer->expired());
    }

    // Pasted text keeps only the digits and full stops of what would be typed, the release of the
    // Enter that closed a message box does not add again, and another kind empties the box.
    // Shown, Filter List has the focus on no line, and frames itself in a line of its own.
    void filterWindows() {
        main->cmdFilter->click();
        auto* filters = qobject_cast<frmFilter*>(QApplication::activeModalWidget());
        QVERIFY(filters);
        filters->cmdAdd->click();
        auto* add = qobject_cast<frmAddNew*>(QApplication::activeModalWidget());
        QVERIFY(add);
        QTest::keyClicks(add->txtValue, "127.0.0");
        QApplication::clipboard()->setText("ip: .1 x");  // only ".1" of the pasted text
        QTest::keyClick(add->txtValue, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(add->txtValue, Qt::Key_Return);
        QTest::keyRelease(add->txtValue, Qt::Key_Return);
        QCOMPARE(desktop.messages,
                 (Said{{"Already added to filter list", "Add New Filter", Information}}));
        for (int step = 0; step < 2; ++step) QTest::keyClick(add->cboKind, Qt::Key_Down);
        QVERIFY(add->txtValue->text().isEmpty());  // another kind: the box is emptied
        add->cmdCancel->click();
        main->cmdFilter->click();
        QListWidget* lines = filters->lstFilter;
        QTRY_COMPARE(lines->viewport()->grab().toImage().pixelColor(0, 0),
                     lines->palette().color(QPalette::Highlight));
        QVERIFY(!lines->currentIndex().isValid());
    }

    // Another program can take the clipboard back at once, as an X11 owner can: the copy says so,
    // and its window stays open.
    void copyTakenBack() {
        if (QGuiApplication::platformName() == "windows")
            QSKIP("Windows tells of a clipboard change only later, through the event loop");
        main->cmdCopy->click();
        QTRY_VERIFY(qobject_cast<frmCopy*>(QApplication::activeWindow()));
        auto* copy = static_cast<frmCopy*>(QApplication::activeWindow());
        QClipboard* clipboard = QApplication::clipboard();
        const auto takeBack = [clipboard] { clipboard->setText("another program's text"); };
        connect(clipboard, &QClipboard::dataChanged, this, takeBack, Qt::SingleShotConnection);
        copy->cmdCopy->click();
        QVERIFY(copy->isVisible());
        QCOMPARE(desktop.messages,
                 (Said{{"The list could not be copied to the clipboard.", "Form Copy", Critical}}));
    }

    // A row's tooltip is in the list's face, its text dark on its background, 4.5:1 at least;
    // shown while the owners are looked up, it tells them once they are in, and so do every
    // row's descriptions. A name that looks like markup shows as typed.
    void tooltip() {
        const auto lookMayEnd = std::make_shared<std::timed_mutex>();
        std::unique_lock holdLook(*lookMayEnd);
        table->rows = {Row(5, "10.0.0.5", 1, "10.0.0.7", 2, 9), Row(5, "1.1.1.1", 3, "1.1.1.2", 2)};
        showMain([=](const std::vector<TcpRow>& rows, std::stop_token) {
            Pass(*lookMayEnd);
            return std::make_shared<const OwnerIndex>(ProcessTable{{{7, 0, "<b>", "", {9}}}}, rows);
        });
        QVERIFY(listRead());
        QSignalSpy changed(&main->connections(), &QAbstractItemModel::dataChanged);
        auto* list = main->lstConnections;  // Qt shows the row's tooltip where the pointer rests
        QCursor::setPos(
            list->viewport()->mapToGlobal(list->visualRect(list->model()->index(0, 0)).center()));
        QTRY_VERIFY(QToolTip::text().startsWith("Process: looking up..."));
        holdLook.unlock();
        QTRY_VERIFY(
            QToolTip::text().startsWith("<p style='white-space:pre'>Process: &lt;b&gt; (PID 7)"));
        QCOMPARE(told(0, Qt::AccessibleDescriptionRole).left(20), "Process: <b> (PID 7)");
        QCOMPARE(changed.value(0).value(1).value<QModelIndex>().row(), 1);  // to the last row
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
};

QTEST_MAIN(TestGui)
#include "test_gui.moc"
