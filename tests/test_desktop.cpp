#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <memory>
#include <vector>

#include "gui/about/frmAbout.h"
#include "gui/about/frmAboutProgrammer.h"
#include "gui/copy/frmCopy.h"
#include "gui/filters/frmAddNew.h"
#include "gui/filters/frmFilter.h"
#include "gui/main/frmMain.h"
#include "kit/display_choice.h"

// What the program needs from a real desktop: every label readable in its box with the fonts the
// package pulls in, and the window system it asks Qt for.
class TestDesktop : public QObject {
    Q_OBJECT
    const std::vector<TcpRow> noRows;
    Filters filters;
    OwnedWindow<frmAddNew> addWindow;
    std::vector<std::unique_ptr<QWidget>> windows;

private slots:
    void initTestCase() {
        for (QWidget* window : std::initializer_list<QWidget*>{
                 new frmMain([] { return TcpTable{}; },
                             [](const auto&, std::stop_token) { return nullptr; },
                             SystemHostLookup()),
                 new frmFilter(filters, addWindow), new frmAddNew(filters), new frmCopy(noRows),
                 new frmAbout, new frmAboutProgrammer})
            windows.emplace_back(window);
    }

    void labelFitsItsBox_data() {
        QTest::addColumn<QLabel*>("label");
        for (const auto& window : windows)
            for (QLabel* label : window->findChildren<QLabel*>())
                if (!label->text().isEmpty())  // not a picture
                    QTest::addRow("%s", qPrintable(label->text().left(40))) << label;
    }
    // A label wraps its text inside its box and cuts off what does not fit; its window holds it.
    void labelFitsItsBox() {
        QFETCH(QLabel*, label);
        QVERIFY(label->window()->rect().contains(label->geometry()));
        const QRect box = label->contentsRect();
        const QRect text = label->fontMetrics().boundingRect(
            box.adjusted(0, 0, 0, 10'000), label->wordWrap() ? Qt::TextWordWrap : 0, label->text());
        QCOMPARE_LE(text.width(), box.width());
        QCOMPARE_LE(text.height(), box.height());
    }

    void windowOpensAtItsSizeTimesTheScale_data() {
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QSKIP("no window system to ask");
        QTest::addColumn<QWidget*>("window");
        for (const auto& window : windows)
            QTest::addRow("%s", window->metaObject()->className()) << window.get();
    }
    // The window system makes a window's client area its size times the display's scale, named
    // in percent by SOCKVIEW_SCALE. Shown, it would be no other size, but closing it would cost
    // Wine two seconds on a screen without a window manager.
    void windowOpensAtItsSizeTimesTheScale() {
        QFETCH(QWidget*, window);
        const QSize expected =
            window->size() * qEnvironmentVariable("SOCKVIEW_SCALE", "100").toDouble() / 100;
        const QSize shown = window->screen()->grabWindow(window->winId()).size();
        QCOMPARE_LE(qAbs(shown.width() - expected.width()), 2);
        QCOMPARE_LE(qAbs(shown.height() - expected.height()), 2);
    }

    void displayChoice_data() {
        // Whether the user set QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY.
        for (const char* column : {"platformSet", "x11", "wayland"}) QTest::addColumn<bool>(column);
        QTest::addColumn<DisplayChoice>("choice");
        QTest::newRow("no display") << false << false << false << DisplayChoice::None;
        QTest::newRow("X only") << false << true << false << DisplayChoice::AsGiven;
        QTest::newRow("Wayland only: native") << false << false << true << DisplayChoice::AsGiven;
        QTest::newRow("both: XWayland") << false << true << true << DisplayChoice::X11;
        QTest::newRow("both, platform named") << true << true << true << DisplayChoice::AsGiven;
        QTest::newRow("platform named only") << true << false << false << DisplayChoice::AsGiven;
    }
    void displayChoice() {
        QFETCH(bool, platformSet);
        QFETCH(bool, x11);
        QFETCH(bool, wayland);
        QTEST(ChooseDisplay({platformSet, x11, wayland}), "choice");
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
