#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "app/frmMain.h"
#include "app/maker.h"
#include "app/resize_rule.h"
#include "tests/recording_desktop.h"

// The main window's size rule for its connection list, and its exit.
class TestMainWindowLayout : public QObject {
    Q_OBJECT
private slots:
    void listSize_data();
    void listSize();
    void resizingMovesOnlyTheList();
    void exitOpensThePageOnce_data();
    void exitOpensThePageOnce();

private:
    RecordingDesktop desktop;
};

// Sizes in twips; -1 stands for "left as it was".
void TestMainWindowLayout::listSize_data() {
    QTest::addColumn<float>("outerWidth");
    QTest::addColumn<float>("outerHeight");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::newRow("first showing") << 8400.f << 7725.f << 8055.f << 5530.f;
    QTest::newRow("maximized") << 28800.f << 16200.f << 28455.f << 14005.f;
    QTest::newRow("height at the limit") << 8400.f << 2195.f << 8055.f << 0.f;
    QTest::newRow("height below the limit") << 8400.f << 2194.f << 8055.f << -1.f;
    QTest::newRow("minimized") << 2400.f << 540.f << 2055.f << -1.f;
    QTest::newRow("width at the limit") << 345.f << 7725.f << 0.f << 5530.f;
    QTest::newRow("width below the limit") << 300.f << 7725.f << -1.f << 5530.f;
}

void TestMainWindowLayout::listSize() {
    QFETCH(float, outerWidth);
    QFETCH(float, outerHeight);
    QFETCH(float, width);
    QFETCH(float, height);
    const ListSize size = ListSizeForOuterSize(outerWidth, outerHeight);
    QCOMPARE(size.width.value_or(-1.f), width);
    QCOMPARE(size.height.value_or(-1.f), height);
}

void TestMainWindowLayout::resizingMovesOnlyTheList() {
    frmMain main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QList<QRect> fixedPlaces;
    const QList<QWidget*> fixed = {main.Label1,   main.cmdRefresh, main.cmdFilter,
                                   main.cmdAbout, main.cmdCopy,    main.cmdClose};
    for (const QWidget* control : fixed) fixedPlaces << control->geometry();

    // An outer size of 8400 x 7725 twips, whatever frame the platform draws around the client.
    const QSize frame = main.frameGeometry().size() - main.size();
    main.resize(QSize(560, 515) - frame);
    QTRY_COMPARE(main.frameGeometry().size(), QSize(560, 515));
    QTRY_COMPARE(main.ListView1->geometry(), QRect(8, 120, 537, 369));  // 8055 x 5530 twips

    main.resize(QSize(900, 700) - frame);
    QTRY_COMPARE(main.ListView1->geometry(), QRect(8, 120, 877, 554));
    for (qsizetype i = 0; i < fixed.size(); ++i) QCOMPARE(fixed[i]->geometry(), fixedPlaces[i]);
}

void TestMainWindowLayout::exitOpensThePageOnce_data() {
    QTest::addColumn<bool>("byButton");
    QTest::newRow("\"&Exit\"") << true;
    QTest::newRow("close request") << false;
}

// The exit ends the event loop itself; a watchdog ends it with another status if it does not.
void TestMainWindowLayout::exitOpensThePageOnce() {
    QFETCH(bool, byButton);
    desktop.openedPages.clear();
    frmMain main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    watchdog.start(10'000);
    QTimer::singleShot(0, &main, [&main, byButton] {
        if (byButton)
            QTest::mouseClick(main.cmdClose, Qt::LeftButton);
        else
            main.close();
    });
    QCOMPARE(QApplication::exec(), 0);

    // A close arriving after the exit, as at the end of a session, opens nothing more.
    main.close();
    QCOMPARE(desktop.openedPages, std::vector<std::string>{std::string(kMakerWebPage)});
}

QTEST_MAIN(TestMainWindowLayout)
#include "test_main_window_layout.moc"
