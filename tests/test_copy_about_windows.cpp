#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <memory>

#include "about/frmAbout.h"
#include "about/frmAboutProgrammer.h"
#include "about/version_line.h"
#include "app/frmMain.h"
#include "app/maker.h"
#include "copy/frmCopy.h"
#include "filters/frmAddNew.h"
#include "filters/frmFilter.h"
#include "tests/modal_answer.h"
#include "tests/recording_desktop.h"

// The copy window and the two About windows, driven through the main window's buttons with
// clicks and keys on the real widgets.

namespace {

QString ClipboardText() { return QGuiApplication::clipboard()->text(); }

frmCopy& OpenCopy(frmMain& main) {
    main.cmdCopy->click();
    return *ExistingInstance<frmCopy>();
}

// A click at a point of a window, received by whatever control stands there.
void ClickAt(QWidget* window, QPoint point) {
    QWidget* target = window->childAt(point);
    if (target == nullptr) target = window;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window, point));
}

void PressAbout(frmMain& main, const std::function<void(frmAbout&)>& answer) {
    AnswerWindow<frmAbout>([&main] { main.cmdAbout->click(); }, answer);
}

}  // namespace

class TestCopyAboutWindows : public QObject {
    Q_OBJECT
    RecordingDesktop desktop;

    void LastMessageIs(const char* text, MessageIcon icon) const {
        QCOMPARE(desktop.messages.back().text, text);
        QCOMPARE(desktop.messages.back().title, "Form Copy");
        QCOMPARE(desktop.messages.back().icon, icon);
    }

private slots:
    void init() {
        desktop = {};
        InstallDesktop(desktop);
        desktop.table.rows = {Row(5, "10.0.0.5", 40000, "10.0.0.9", 443),
                              Row(2, "10.0.0.5", 8080, "10.0.0.7", 9)};
    }

    void cleanup() {
        QTRY_COMPARE(OpenWindows(), QWidgetList());
        DestroySecondaryWindows();
    }

    // One window through a session: the list as it is at each press, no column chosen, a
    // clipboard that another program takes back at once (as an X11 owner can), then reopening.
    void copyWindowSession() {
        frmMain main;
        frmCopy& copy = OpenCopy(main);
        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        QCOMPARE(ClipboardText(), "10.0.0.5\t10.0.0.9\t\r\n10.0.0.5\t10.0.0.7\t\r\n");
        desktop.table.rows = {Row(8, "10.0.0.6", 22, "10.0.0.20", 50123)};
        main.cmdRefresh->click();
        copy.Checks[3]->click();
        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        QCOMPARE(ClipboardText(), "10.0.0.6\t10.0.0.20\t50123\t\r\n");
        LastMessageIs("The selected item(s) have been copied to clipboard.",
                      MessageIcon::Information);

        for (const int column : {0, 2, 3}) copy.Checks[column]->click();
        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        LastMessageIs("You must choost at-least one item to be copied.", MessageIcon::Critical);
        QCOMPARE(ClipboardText(), "10.0.0.6\t10.0.0.20\t50123\t\r\n");

        QClipboard* clipboard = QGuiApplication::clipboard();
        const auto takeBack = [clipboard] { clipboard->setText("another program's text"); };
        connect(clipboard, &QClipboard::dataChanged, this, takeBack, Qt::SingleShotConnection);
        copy.Checks[0]->click();
        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        LastMessageIs("The list could not be copied to the clipboard.", MessageIcon::Critical);
        QCOMPARE(desktop.messages.size(), 4u);
        QVERIFY(copy.isVisible());

        QTest::mouseClick(copy.cmdClose, Qt::LeftButton);
        QCOMPARE(&OpenCopy(main), &copy);
        QVERIFY(!copy.Checks[2]->isChecked());  // "&Close" keeps the boxes
        copy.close();
        QTRY_VERIFY(ExistingInstance<frmCopy>() == nullptr);
        QVERIFY(OpenCopy(main).Checks[2]->isChecked());  // the close box resets them
        ExistingInstance<frmCopy>()->cmdClose->click();
    }

    void versionLine() {
        QCOMPARE(VersionLine(1, 0), "Korvane Murrelin ver: 1.0");
        QCOMPARE(VersionLine(1, 5), "Korvane Murrelin ver: 1.5");
        QCOMPARE(VersionLine(1, 10), "Korvane Murrelin ver: 1.10");
    }

    // Enter and Esc do not leave About; About Programmer follows only once it is left.
    void aboutThenAboutProgrammer() {
        frmMain main;
        PressAbout(main, [](frmAbout& about) {
            QCOMPARE(about.lbl[0]->text(), "Korvane Murrelin ver: 1.0");
            for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
                QTest::keyClick(&about, key);
                QVERIFY2(about.isVisible(), qPrintable(QKeySequence(key).toString()));
            }
            QVERIFY(ExistingInstance<frmAboutProgrammer>() == nullptr);
        });
        frmAboutProgrammer* programmer = ExistingInstance<frmAboutProgrammer>();
        QVERIFY(programmer && programmer->isVisible());

        // Again while About Programmer is open; each click on the link opens the page once.
        PressAbout(main, [this](frmAbout& about) {
            QTest::mouseClick(about.lblLink, Qt::LeftButton);
            QTest::mouseClick(about.lblLink, Qt::LeftButton);
            QCOMPARE(desktop.openedPages, std::vector<std::string>(2, std::string(kMakerWebPage)));
            QCOMPARE(QApplication::activeModalWidget(), &about);
        });
        QCOMPARE(ExistingInstance<frmAboutProgrammer>(), programmer);
        QTRY_COMPARE(QApplication::activeWindow(), programmer);
        programmer->hide();
    }

    // Points in a window's client area, in pixels: About's texts leave it, its background does
    // not; About Programmer's banner keeps it, the rest hides it.
    void clicks_data() {
        QTest::addColumn<bool>("onProgrammer");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<bool>("hides");
        QTest::newRow("version line") << false << QPoint(100, 15) << true;
        QTest::newRow("description") << false << QPoint(100, 60) << true;
        QTest::newRow("note") << false << QPoint(100, 180) << true;
        QTest::newRow("background") << false << QPoint(3, 60) << false;
        QTest::newRow("banner") << true << QPoint(20, 20) << false;
        QTest::newRow("portrait") << true << QPoint(70, 120) << true;
        QTest::newRow("programmer background") << true << QPoint(440, 150) << true;
    }
    void clicks() {
        QFETCH(bool, onProgrammer);
        QFETCH(QPoint, point);
        QFETCH(bool, hides);
        frmMain main;
        PressAbout(main, [&](frmAbout& about) {
            if (onProgrammer) return;
            ClickAt(&about, point);
            QCOMPARE(about.isVisible(), !hides);
        });
        frmAboutProgrammer& programmer = *ExistingInstance<frmAboutProgrammer>();
        if (onProgrammer) ClickAt(&programmer, point);
        QCOMPARE(programmer.isVisible(), !onProgrammer || !hides);
        programmer.hide();
    }

    void artworkLoads() {
        for (const QString name : {"icons/main", "icons/refresh", "icons/exit", "icons/filter",
                                   "icons/addnew", "icons/copy", "icons/about", "icons/programmer",
                                   "pictures/banner", "pictures/portrait"})
            QVERIFY2(!QImage(":/" + name + ".svg").isNull(), qPrintable(name));
    }

    void everyControlHasAnAccessibleName() {
        const std::unique_ptr<QWidget> windows[] = {
            std::make_unique<frmMain>(),   std::make_unique<frmFilter>(),
            std::make_unique<frmAddNew>(), std::make_unique<frmCopy>(),
            std::make_unique<frmAbout>(),  std::make_unique<frmAboutProgrammer>()};
        for (const auto& window : windows) {
            for (QWidget* control : window->findChildren<QWidget*>()) {
                // The controls the window places itself, not the parts Qt builds inside them.
                const QWidget* parent = control->parentWidget();
                if (parent != window.get() && !qobject_cast<const QGroupBox*>(parent)) continue;
                const QAccessibleInterface* accessible =
                    QAccessible::queryAccessibleInterface(control);
                QVERIFY2(
                    !accessible->text(QAccessible::Name).isEmpty(),
                    qPrintable(window->windowTitle() + ": " + control->metaObject()->className()));
            }
        }
    }
};

QTEST_MAIN(TestCopyAboutWindows)
#include "test_copy_about_windows.moc"
