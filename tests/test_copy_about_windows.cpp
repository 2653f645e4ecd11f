#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QTest>

#include "frmAbout.h"
#include "frmAboutProgrammer.h"
#include "version_line.h"
#include "frmMain.h"
#include "maker.h"
#include "frmCopy.h"
#include "frmAddNew.h"
#include "frmFilter.h"
#include "tests/modal_answer.h"
#include "tests/recording_desktop.h"

// The copy window and the two About windows, driven through the main window's buttons with
// clicks and keys on the real widgets.

namespace {

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
    }

    void cleanup() {
        QTRY_COMPARE(OpenWindows(), QWidgetList());
        DestroySecondaryWindows();
    }

    // One window through a session: the list as it is at the press, no column chosen, a
    // clipboard that another program takes back at once (as an X11 owner can), then reopening.
    void copyWindowSession() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        frmMain main;
        frmCopy& copy = OpenCopy(main);  // while the list is still empty
        desktop.table.rows = {Row(8, "10.0.0.6", 22, "10.0.0.20", 50123)};
        main.cmdRefresh->click();
        copy.Checks[3]->click();
        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        QCOMPARE(clipboard->text(), "10.0.0.6\t10.0.0.20\t50123\t\r\n");
        LastMessageIs("The selected item(s) have been copied to clipboard.",
                      MessageIcon::Information);

        for (const int column : {0, 2, 3}) copy.Checks[column]->click();
        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        LastMessageIs("You must choost at-least one item to be copied.", MessageIcon::Critical);
        QCOMPARE(clipboard->text(), "10.0.0.6\t10.0.0.20\t50123\t\r\n");

        const auto takeBack = [clipboard] { clipboard->setText("another program's text"); };
        connect(clipboard, &QClipboard::dataChanged, this, takeBack, Qt::SingleShotConnection);
        copy.Checks[0]->click();
        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        LastMessageIs("The list could not be copied to the clipboard.", MessageIcon::Critical);
        QCOMPARE(desktop.messages.size(), 3u);
        QVERIFY(copy.isVisible());

        QTest::mouseClick(copy.cmdClose, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // were it discarded
        QVERIFY(!OpenCopy(main).Checks[2]->isChecked());  // "&Close" keeps the window and its boxes
        copy.close();
        QTRY_VERIFY(ExistingInstance<frmCopy>() == nullptr);
        QVERIFY(OpenCopy(main).Checks[2]->isChecked());  // the close box resets them
        ExistingInstance<frmCopy>()->cmdClose->click();
    }

    // Enter, Esc, a click on the background or on the link (which opens the page once per click)
    // do not leave About; a click on a text does, and About Programmer follows only then. Points
    // are in pixels of a window's client area.
    void aboutThenAboutProgrammer() {
        QCOMPARE(VersionLine(1, 10), "Korvane Murrelin ver: 1.10");  // the minor is not padded
        frmMain main;
        PressAbout(main, [this](frmAbout& about) {
            QCOMPARE(about.lbl[0]->text(), "Korvane Murrelin ver: 1.0");
            for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(&about, key);
            ClickAt(&about, QPoint(3, 60));
            QTest::mouseClick(about.lblLink, Qt::LeftButton);
            QTest::mouseClick(about.lblLink, Qt::LeftButton);
            QCOMPARE(desktop.openedPages, std::vector<std::string>(2, std::string(kMakerWebPage)));
            QVERIFY(about.isVisible());
            QVERIFY(ExistingInstance<frmAboutProgrammer>() == nullptr);
            ClickAt(&about, QPoint(100, 180));  // the note
            QVERIFY(!about.isVisible());
        });
        frmAboutProgrammer* programmer = ExistingInstance<frmAboutProgrammer>();
        QVERIFY(programmer && programmer->isVisible());

        // Again while About Programmer is open: About is modal over it, which stays.
        PressAbout(main, [](frmAbout& about) {
            QCOMPARE(QApplication::activeModalWidget(), &about);
            ClickAt(&about, QPoint(100, 15));  // the version line
            QVERIFY(!about.isVisible());
        });
        QCOMPARE(ExistingInstance<frmAboutProgrammer>(), programmer);
        QTRY_COMPARE(QApplication::activeWindow(), programmer);

        // Its banner keeps it; its portrait and its background hide it.
        QList<bool> stays;
        for (const QPoint point : {QPoint(20, 20), QPoint(70, 120), QPoint(440, 150)}) {
            programmer->show();
            ClickAt(programmer, point);
            stays << programmer->isVisible();
        }
        QCOMPARE(stays, QList<bool>({true, false, false}));
    }

    void artworkLoads() {
        for (const QString name : {"icons/main", "icons/refresh", "icons/exit", "icons/filter",
                                   "icons/addnew", "icons/copy", "icons/about", "icons/programmer",
                                   "pictures/banner", "pictures/portrait"})
            QVERIFY2(!QImage(":/" + name + ".svg").isNull(), qPrintable(name));
    }

    void everyControlHasAnAccessibleName() {
        QWidget owner;  // deletes the windows
        for (QWidget* window : QWidgetList{new frmMain(&owner), new frmFilter(&owner),
                                           new frmAddNew(&owner), new frmCopy(&owner),
                                           new frmAbout(&owner), new frmAboutProgrammer(&owner)}) {
            for (QWidget* control : window->findChildren<QWidget*>()) {
                // The controls the window places itself, not the parts Qt builds inside them.
                const QWidget* parent = control->parentWidget();
                if (parent != window && !qobject_cast<const QGroupBox*>(parent)) continue;
                const auto* accessible = QAccessible::queryAccessibleInterface(control);
                QVERIFY2(
                    !accessible->text(QAccessible::Name).isEmpty(),
                    qPrintable(window->windowTitle() + ": " + control->metaObject()->className()));
            }
        }
    }
};

QTEST_MAIN(TestCopyAboutWindows)
#include "test_copy_about_windows.moc"
