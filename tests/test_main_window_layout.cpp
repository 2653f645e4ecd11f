#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "frmMain.h"
#include "maker.h"
#include "resize_rule.h"
#include "tests/modal_answer.h"
#include "tests/recording_desktop.h"

// The main window's size rule for its connection list, and its exit.
class TestMainWindowLayout : public QObject {
    Q_OBJECT
    RecordingDesktop desktop;

private slots:
    void cleanup() { QTRY_COMPARE(OpenWindows(), QWidgetList()); }

    // Outer sizes and list sizes in twips; -1 stands for "left as it was".
    void listSize_data() {
        for (const char* column : {"outerWidth", "outerHeight", "width", "height"})
            QTest::addColumn<float>(column);
        QTest::newRow("first showing") << 8400.f << 7725.f << 8055.f << 5530.f;
        QTest::newRow("height at the limit") << 8400.f << 2195.f << 8055.f << 0.f;
        QTest::newRow("height below the limit") << 8400.f << 2194.f << 8055.f << -1.f;
    }
    void listSize() {
        QFETCH(float, outerWidth);
        QFETCH(float, outerHeight);
        const ListSize size = ListSizeForOuterSize(outerWidth, outerHeight);
        QTEST(size.width.value_or(-1.f), "width");
        QTEST(size.height.value_or(-1.f), "height");
    }

    void resizingMovesOnlyTheList() {
        frmMain main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        const QList<QWidget*> fixed = {main.Label1,   main.cmdRefresh, main.cmdFilter,
                                       main.cmdAbout, main.cmdCopy,    main.cmdClose};
        QList<QRect> places;
        for (const QWidget* control : fixed) places << control->geometry();

        // An outer size of 13500 x 10500 twips, whatever frame the platform draws.
        main.resize(QSize(900, 700) - (main.frameGeometry().size() - main.size()));
        QTRY_COMPARE(main.ListView1->geometry(), QRect(8, 120, 877, 554));
        for (qsizetype i = 0; i < fixed.size(); ++i) QCOMPARE(fixed[i]->geometry(), places[i]);
    }

    void exitOpensThePageOnce_data() {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("\"&Exit\"") << true;
        QTest::newRow("close request") << false;
    }
    // The exit ends the event loop itself; a watchdog ends it with another status if it does not.
    void exitOpensThePageOnce() {
        QFETCH(bool, byButton);
        desktop.openedPages.clear();
        frmMain main;
        main.show();
        QTimer::singleShot(10'000, &main, [] { QCoreApplication::exit(2); });
        QTimer::singleShot(0, &main, [&main, byButton] {
            byButton ? QTest::mouseClick(main.cmdClose, Qt::LeftButton) : void(main.close());
        });
        QCOMPARE(QApplication::exec(), 0);

        // A close arriving after the exit, as at the end of a session, opens nothing more.
        main.close();
        QCOMPARE(desktop.openedPages, std::vector<std::string>{std::string(kMakerWebPage)});
    }
};

QTEST_MAIN(TestMainWindowLayout)
#include "test_main_window_layout.moc"
