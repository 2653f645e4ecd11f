#include <qpa/qwindowsysteminterface.h>

#include <QTest>
#include <QtWidgets>
#include <memory>
#include <vector>

#include "gui/about/frmAbout.h"
#include "gui/about/frmAboutProgrammer.h"
#include "gui/copy/frmCopy.h"
#include "gui/filters/frmAddNew.h"
#include "gui/filters/frmFilter.h"
#include "gui/main/frmMain.h"
#include "kit/design.h"
#include "tests/support/recording_desktop.h"

// What the program needs from a real desktop: every label readable in its box with the fonts the
// package pulls in.
class TestDesktop : public QObject {
    Q_OBJECT
    Filters filters;
    OwnedWindow<frmAddNew> addWindow;
    frmMain main{[] { return TcpTable{}; }, RowDetails::SystemSources()};
    frmFilter filter{filters, addWindow};
    frmAddNew add{filters};
    frmCopy copy{[](auto take) { take(std::make_shared<std::vector<TcpRow>>()); }};
    frmAbout about;
    frmAboutProgrammer aboutProgrammer;

private slots:
    void labelFitsItsBox_data() {
        QTest::addColumn<QLabel*>("label");
        for (QWidget* window :
             std::initializer_list<QWidget*>{&main, &filter, &add, &copy, &about, &aboutProgrammer})
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

    // The window's colour shows only behind the controls. The list keeps the system's colours,
    // maximised and empty, its header past the last column and the corner between its scroll bars
    // too (both on, as a long list in a narrow window has them); so do the filter windows' boxes,
    // across their middle, clear of their rounded corners. The copy window's frame is a grey
    // outline round the window's colour (down its right, clear of the check boxes), its title in
    // the buttons' face.
    void colourOnlyBehindControls() {
        // The pixels of a window's picture inside the given parts, each read at the middle of a
        // pixel at any scale, that have the window's colour or a shade of it: its hue, more than
        // a trace of it.
        const auto shades = [](QWidget& window, QColor colour, std::initializer_list<QRect> parts) {
            const QImage picture = window.grab().toImage();
            const qreal scale = picture.devicePixelRatio();
            QList<QColor> found;
            for (const QRect& part : parts)
                for (int y = part.top(); y <= part.bottom(); ++y)
                    for (int x = part.left(); x <= part.right(); ++x)
                        found << picture.pixelColor(int((x + 0.5) * scale), int((y + 0.5) * scale));
            found.removeIf([&](QColor pixel) {
                return pixel.hsvSaturation() <= 10 ||
                       std::abs(pixel.hsvHue() - colour.hsvHue()) > 4;
            });
            return found;
        };
        main.lstConnections->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        main.lstConnections->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        // As large as maximised: Wine maximises a window only through a window manager.
        main.resize(main.screen()->availableSize());
        main.show();
        QTRY_COMPARE_NE(main.width(), Px(8280));
        QVERIFY(shades(main, QColor(192, 255, 192), {main.lstConnections->geometry()}).isEmpty());
        const QColor yellow(255, 255, 192), pink(255, 192, 255);
        QVERIFY(shades(filter, yellow, {filter.lstFilter->geometry()}).isEmpty());
        const QMargins middle(0, 10, 0, 10);
        QVERIFY(shades(add, yellow,
                       {add.cboKind->geometry() - middle, add.txtValue->geometry() - middle})
                    .isEmpty());
        const QRect frame = copy.fraColumns->geometry();
        QList<QColor> inFrame = shades(copy, pink, {frame.adjusted(frame.width() - 9, 0, -8, 0)});
        QVERIFY(inFrame.removeAll(pink) > 0 && inFrame.isEmpty());
        QCOMPARE(copy.fraColumns->font(), DialogFont());
    }

    // Qt's own title bar (on Wayland, where the compositor draws none) asks to close through Qt's
    // queue of window system events, which drops a request to a window that a modal one blocks:
    // with Filter List up, its close box still ends the program and opens the maker's page.
    void titleBarCloseBoxExits() {
        if (QGuiApplication::platformName() == "windows")
            QSKIP("Windows asks to close by WM_CLOSE alone, which the native filter takes");
        RecordingDesktop desktop;
        main.cmdFilter_Click();
        QTimer::singleShot(10'000, [] { QCoreApplication::exit(2); });
        QWindowSystemInterface::handleCloseEvent(main.windowHandle());
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(desktop.openedPages.size(), 1u);
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
