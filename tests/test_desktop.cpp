#include <QLabel>
#include <QTest>
#include <memory>
#include <vector>

#include "display_choice.h"
#include "frmAbout.h"
#include "frmAboutProgrammer.h"
#include "frmAddNew.h"
#include "frmCopy.h"
#include "frmFilter.h"
#include "frmMain.h"
#include "recording_desktop.h"

// What the program needs from a real desktop: every label readable in its box with the fonts the
// package pulls in, and the window system it asks Qt for.
class TestDesktop : public QObject {
    Q_OBJECT
    RecordingDesktop desktop;
    std::vector<std::unique_ptr<QWidget>> windows;

private slots:
    void labelFitsItsBox_data() {
        QTest::addColumn<QLabel*>("label");
        windows.emplace_back(new frmMain([] { return TcpTable{}; }));
        windows.emplace_back(new frmFilter);
        windows.emplace_back(new frmAddNew);
        windows.emplace_back(new frmCopy({}));
        windows.emplace_back(new frmAbout);
        windows.emplace_back(new frmAboutProgrammer);
        for (const auto& window : windows) {
            for (QLabel* label : window->findChildren<QLabel*>()) {
                if (label->text().isEmpty()) continue;  // a picture
                QTest::addRow("%s: %s", window->metaObject()->className(),
                              qPrintable(label->text().left(40)))
                    << label;
            }
        }
    }
    // A label wraps its text inside its box and cuts off what does not fit.
    void labelFitsItsBox() {
        QFETCH(QLabel*, label);
        const QRect box = label->contentsRect();
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QSize text = label->fontMetrics()
                               .boundingRect(QRect(box.topLeft(), QSize(box.width(), 10'000)),
                                             flags, label->text())
                               .size();
        QVERIFY2(text.width() <= box.width() && text.height() <= box.height(),
                 qPrintable(QStringLiteral("%1 x %2 in %3 x %4 at %5")
                                .arg(text.width())
                                .arg(text.height())
                                .arg(box.width())
                                .arg(box.height())
                                .arg(QFontInfo(label->font()).family())));
    }

    void displayChoice_data() {
        for (const char* offered : {"platformSet", "x11", "wayland"})
            QTest::addColumn<bool>(offered);
        QTest::addColumn<DisplayChoice>("choice");
        QTest::newRow("no display") << false << false << false << DisplayChoice::None;
        QTest::newRow("X only") << false << true << false << DisplayChoice::AsGiven;
        QTest::newRow("Wayland only: native") << false << false << true << DisplayChoice::AsGiven;
        QTest::newRow("both: XWayland") << false << true << true << DisplayChoice::X11;
        QTest::newRow("both, the user's platform")
            << true << true << true << DisplayChoice::AsGiven;
        QTest::newRow("only the user's platform")
            << true << false << false << DisplayChoice::AsGiven;
    }
    void displayChoice() {
        QFETCH(bool, platformSet);
        QFETCH(bool, x11);
        QFETCH(bool, wayland);
        QTEST(ChooseDisplay({.platformSet = platformSet, .x11 = x11, .wayland = wayland}),
              "choice");
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
