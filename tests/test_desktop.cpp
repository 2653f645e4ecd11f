#include <QLabel>
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

Q_DECLARE_METATYPE(OfferedDisplays)

// What the program needs from a real desktop: every label readable in its box with the fonts the
// package pulls in, and the window system it asks Qt for.
class TestDesktop : public QObject {
    Q_OBJECT
    Filters filters;
    OwnedWindow<frmAddNew> addWindow;
    std::vector<std::unique_ptr<QWidget>> windows;

private slots:
    void initTestCase() {
        for (QWidget* window : std::initializer_list<QWidget*>{
                 new frmMain([] { return TcpTable{}; }, RowDetails::SystemSources()),
                 new frmFilter(filters, addWindow), new frmAddNew(filters),
                 new frmCopy([](auto take) { take(std::make_shared<std::vector<TcpRow>>()); }),
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

    // The window system is left to Qt, or to the user who named one. (X alone, and no display at
    // all, are the start-up scripts' cases.)
    void displayChoice_data() {
        QTest::addColumn<OfferedDisplays>("offered");
        QTest::newRow("Wayland only: native") << OfferedDisplays{.wayland = true};
        QTest::newRow("both, platform named") << OfferedDisplays{true, true, true};
        QTest::newRow("platform named only") << OfferedDisplays{.platformSet = true};
    }
    void displayChoice() {
        QFETCH(OfferedDisplays, offered);
        QCOMPARE(ChooseDisplay(offered), DisplayChoice::AsGiven);
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
