#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QImageReader>
#include <QLabel>
#include <QTest>
#include <memory>

#include "about/frmAbout.h"
#include "about/frmAboutProgrammer.h"
#include "about/version_line.h"
#include "app/frmMain.h"
#include "app/maker.h"
#include "app/single_window.h"
#include "copy/frmCopy.h"
#include "tests/modal_answer.h"
#include "tests/recording_desktop.h"

// The copy window and the two About windows, driven through the main window's buttons with
// clicks and keys on the real widgets.

namespace {

using Message = RecordingDesktop::Message;

QString ClipboardText() { return QGuiApplication::clipboard()->text(); }

frmCopy& OpenCopy(frmMain& main) {
    main.cmdCopy->click();
    return *ExistingInstance<frmCopy>();
}

QList<bool> Choice(const frmCopy& window) {
    QList<bool> choice;
    for (const QCheckBox* check : window.Checks) choice << check->isChecked();
    return choice;
}

// A click at a point of a window, received by whatever control stands there.
void ClickAt(QWidget* window, QPoint point) {
    QWidget* target = window->childAt(point);
    if (target == nullptr) target = window;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window, point));
}

void ClickLabel(QLabel* label) { QTest::mouseClick(label, Qt::LeftButton); }

// Presses "&About" and answers the About window; once it is left, the About Programmer window
// is shown.
void PressAbout(frmMain& main, const std::function<void(frmAbout&)>& answer) {
    AnswerModal([&main] { main.cmdAbout->click(); },
                [answer] { answer(*ExistingInstance<frmAbout>()); });
}

frmAboutProgrammer& ShowProgrammer(frmMain& main) {
    PressAbout(main, [](frmAbout& about) { ClickLabel(about.lbl[0]); });
    return *ExistingInstance<frmAboutProgrammer>();
}

bool ProgrammerShown() {
    const frmAboutProgrammer* programmer = ExistingInstance<frmAboutProgrammer>();
    return programmer != nullptr && programmer->isVisible();
}

bool AnyPixelDrawn(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) return true;
    return false;
}

const std::vector<TcpRow> kFirstList = {Row(5, "10.0.0.5", 40000, "10.0.0.9", 443),
                                        Row(2, "10.0.0.5", 8080, "10.0.0.7", 9),
                                        Row(5, "127.0.0.1", 631, "127.0.0.1", 50000)};

}  // namespace

class TestCopyAboutWindows : public QObject {
    Q_OBJECT
    RecordingDesktop desktop;

  private slots:
    void init() {
        desktop = {};
        InstallDesktop(desktop);
        desktop.table.rows = kFirstList;
    }

    void cleanup() {
        QTRY_COMPARE(OpenWindows(), QWidgetList());
        DestroySecondaryWindows();
    }

    void artworkLoads_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QSize>("size");
        for (const char* icon :
             {"main", "refresh", "exit", "filter", "addnew", "copy", "about", "programmer"})
            QTest::newRow(icon) << QStringLiteral(":/icons/%1.svg").arg(icon) << QSize(32, 32);
        QTest::newRow("banner") << QStringLiteral(":/pictures/banner.svg") << QSize(468, 60);
        QTest::newRow("portrait") << QStringLiteral(":/pictures/portrait.svg") << QSize(263, 310);
    }
    void artworkLoads() {
        QFETCH(QString, source);
        QFETCH(QSize, size);
        QImageReader reader(source);
        QCOMPARE(reader.size(), size);
        reader.setScaledSize(size * 2);  // sharp at 200 %
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QVERIFY(AnyPixelDrawn(image));
        QVERIFY(!QIcon(source).isNull());
    }

    void noColumnChosenLeavesTheClipboard() {
        frmMain main;
        frmCopy& copy = OpenCopy(main);
        copy.Checks[0]->click();
        copy.Checks[2]->click();
        QGuiApplication::clipboard()->setText("before");

        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        QCOMPARE(desktop.messages.size(), 1u);
        QCOMPARE(desktop.messages[0].text, "You must choost at-least one item to be copied.");
        QCOMPARE(desktop.messages[0].title, "Form Copy");
        QCOMPARE(desktop.messages[0].icon, MessageIcon::Critical);
        QCOMPARE(ClipboardText(), "before");
        QVERIFY(copy.isVisible());
        QTest::mouseClick(copy.cmdClose, Qt::LeftButton);
    }

    void eachCopyReadsTheListAsItIsNow() {
        frmMain main;
        frmCopy& copy = OpenCopy(main);
        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        QCOMPARE(ClipboardText(), "10.0.0.5\t10.0.0.9\t\r\n10.0.0.5\t10.0.0.7\t\r\n");

        desktop.table.rows = {Row(8, "10.0.0.6", 22, "10.0.0.20", 50123)};
        main.cmdRefresh->click();
        copy.Checks[3]->click();
        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        QCOMPARE(ClipboardText(), "10.0.0.6\t10.0.0.20\t50123\t\r\n");

        const Message copied{"The selected item(s) have been copied to clipboard.", "Form Copy",
                             MessageIcon::Information};
        QCOMPARE(desktop.messages.size(), 2u);
        for (const Message& message : desktop.messages) {
            QCOMPARE(message.text, copied.text);
            QCOMPARE(message.title, copied.title);
            QCOMPARE(message.icon, copied.icon);
        }
        QVERIFY(copy.isVisible());
        QTest::mouseClick(copy.cmdClose, Qt::LeftButton);
    }

    // Another program takes the clipboard back at once, as an X11 clipboard owner can.
    void aClipboardThatKeepsOtherTextIsReported() {
        frmMain main;
        frmCopy& copy = OpenCopy(main);
        QClipboard* clipboard = QGuiApplication::clipboard();
        auto takeBack = std::make_shared<QMetaObject::Connection>();
        *takeBack = connect(clipboard, &QClipboard::dataChanged, this, [clipboard, takeBack] {
            disconnect(*takeBack);
            clipboard->setText("another program's text");
        });

        QTest::mouseClick(copy.cmdCopy, Qt::LeftButton);
        QCOMPARE(desktop.messages.size(), 1u);
        QCOMPARE(desktop.messages[0].text, "The list could not be copied to the clipboard.");
        QCOMPARE(desktop.messages[0].title, "Form Copy");
        QVERIFY(copy.isVisible());
        QCOMPARE(ClipboardText(), "another program's text");
        QTest::mouseClick(copy.cmdClose, Qt::LeftButton);
    }

    void reopeningTheCopyWindow_data() {
        QTest::addColumn<bool>("byCloseBox");
        QTest::addColumn<QList<bool>>("choiceAfter");
        QTest::newRow("hidden by Close keeps the boxes")
            << false << QList<bool>{false, false, true, false, true};
        QTest::newRow("the close box resets them")
            << true << QList<bool>{true, false, true, false, false};
    }
    void reopeningTheCopyWindow() {
        QFETCH(bool, byCloseBox);
        QFETCH(QList<bool>, choiceAfter);
        frmMain main;
        frmCopy* copy = &OpenCopy(main);
        QCOMPARE(&OpenCopy(main), copy);  // a second press shows the same window
        copy->Checks[0]->click();
        copy->Checks[4]->click();

        if (byCloseBox) {
            copy->close();
            QTRY_VERIFY(ExistingInstance<frmCopy>() == nullptr);
        } else {
            QTest::mouseClick(copy->cmdClose, Qt::LeftButton);
            QVERIFY(!copy->isVisible());
        }
        copy = &OpenCopy(main);
        QVERIFY(copy->isVisible());
        QCOMPARE(Choice(*copy), choiceAfter);
        QTest::mouseClick(copy->cmdClose, Qt::LeftButton);
    }

    void versionLine_data() {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<QString>("line");
        QTest::newRow("1.0") << 1 << 0 << "Korvane Murrelin ver: 1.0";
        QTest::newRow("1.5") << 1 << 5 << "Korvane Murrelin ver: 1.5";
        QTest::newRow("1.10") << 1 << 10 << "Korvane Murrelin ver: 1.10";
        QTest::newRow("largest") << 65535 << 65535 << "Korvane Murrelin ver: 65535.65535";
    }
    void versionLine() {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(QString, line);
        QCOMPARE(QString::fromStdString(VersionLine(static_cast<std::uint16_t>(major),
                                                    static_cast<std::uint16_t>(minor))),
                 line);
    }

    void aboutThenAboutProgrammer() {
        frmMain main;
        QPointer<frmAbout> shown;
        PressAbout(main, [&shown](frmAbout& about) {
            shown = &about;
            QCOMPARE(QApplication::activeModalWidget(), &about);
            QCOMPARE(about.lbl[0]->text(), "Korvane Murrelin ver: 1.0");
            QVERIFY(!ProgrammerShown());
            ClickLabel(about.lbl[0]);
            QVERIFY(!about.isVisible());
        });
        QVERIFY(ProgrammerShown());
        QVERIFY(shown);  // only hidden, kept for the next showing
        frmAboutProgrammer* programmer = ExistingInstance<frmAboutProgrammer>();

        // Again while About Programmer is open: the same About window, then the same About
        // Programmer window brought to the front.
        PressAbout(main, [&shown, programmer](frmAbout& about) {
            QCOMPARE(&about, shown.data());
            QCOMPARE(QApplication::activeModalWidget(), &about);
            QVERIFY(programmer->isVisible());
            ClickLabel(about.lbl[3]);
        });
        QCOMPARE(ExistingInstance<frmAboutProgrammer>(), programmer);
        QTRY_COMPARE(QApplication::activeWindow(), programmer);
        programmer->hide();
    }

    void theLinkOpensThePageOncePerClick() {
        frmMain main;
        PressAbout(main, [this](frmAbout& about) {
            ClickLabel(about.lblLink);
            QCOMPARE(desktop.openedPages, std::vector<std::string>{std::string(kMakerWebPage)});
            ClickLabel(about.lblLink);
            QCOMPARE(desktop.openedPages.size(), 2u);
            QCOMPARE(desktop.openedPages[1], kMakerWebPage);
            QCOMPARE(QApplication::activeModalWidget(), &about);
            QCOMPARE(about.lblLink->text(), "www.korvane.example");
            ClickLabel(about.lbl[2]);
        });
        ExistingInstance<frmAboutProgrammer>()->hide();
    }

    void theCloseBoxLeavesAboutAndItIsBuiltAgain() {
        frmMain main;
        PressAbout(main, [](frmAbout& about) { about.close(); });
        QVERIFY(ProgrammerShown());
        QTRY_VERIFY(ExistingInstance<frmAbout>() == nullptr);
        PressAbout(main, [](frmAbout& about) {
            QCOMPARE(about.lbl[0]->text(), "Korvane Murrelin ver: 1.0");
            ClickLabel(about.lbl[1]);
        });
        ExistingInstance<frmAboutProgrammer>()->hide();
    }

    // Points in the About window's client area, in pixels.
    void clicksOnTheAboutWindow_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<bool>("leaves");
        QTest::newRow("version line") << QPoint(100, 15) << true;
        QTest::newRow("description") << QPoint(100, 60) << true;
        QTest::newRow("free notice") << QPoint(100, 125) << true;
        QTest::newRow("note") << QPoint(100, 180) << true;
        QTest::newRow("background") << QPoint(3, 60) << false;
        QTest::newRow("line") << QPoint(200, 112) << false;
    }
    void clicksOnTheAboutWindow() {
        QFETCH(QPoint, point);
        QFETCH(bool, leaves);
        frmMain main;
        PressAbout(main, [&](frmAbout& about) {
            ClickAt(&about, point);
            QCOMPARE(about.isVisible(), !leaves);
            QCOMPARE(ProgrammerShown(), false);
            if (about.isVisible()) ClickLabel(about.lbl[0]);
        });
        QVERIFY(desktop.openedPages.empty());
        ExistingInstance<frmAboutProgrammer>()->hide();
    }

    // Points in the About Programmer window's client area, in pixels.
    void clicksOnTheAboutProgrammerWindow_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<bool>("hides");
        QTest::newRow("title") << QPoint(200, 30) << false;
        QTest::newRow("banner") << QPoint(20, 20) << false;
        QTest::newRow("background") << QPoint(440, 150) << true;
        QTest::newRow("rule line") << QPoint(436, 88) << true;
        QTest::newRow("portrait") << QPoint(70, 120) << true;
        QTest::newRow("name") << QPoint(200, 70) << true;
        QTest::newRow("qualification") << QPoint(200, 100) << true;
        QTest::newRow("skills") << QPoint(200, 130) << true;
        QTest::newRow("contact") << QPoint(200, 183) << true;
    }
    void clicksOnTheAboutProgrammerWindow() {
        QFETCH(QPoint, point);
        QFETCH(bool, hides);
        frmMain main;
        frmAboutProgrammer& programmer = ShowProgrammer(main);
        ClickAt(&programmer, point);
        QCOMPARE(programmer.isVisible(), !hides);
        programmer.hide();
    }

    void enterAndEscDoNothing() {
        frmMain main;
        const auto pressBoth = [](QWidget* window) {
            for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
                QTest::keyClick(window, key);
                QVERIFY2(window->isVisible(), qPrintable(QKeySequence(key).toString()));
            }
        };
        PressAbout(main, [&](frmAbout& about) {
            pressBoth(&about);
            QCOMPARE(QApplication::activeModalWidget(), &about);
            ClickLabel(about.lbl[0]);
        });
        frmAboutProgrammer& programmer = *ExistingInstance<frmAboutProgrammer>();
        pressBoth(&programmer);
        programmer.hide();
    }

    void everyControlHasAnAccessibleName() {
        frmCopy copy;
        frmAbout about;
        frmAboutProgrammer programmer;
        for (QWidget* window : std::initializer_list<QWidget*>{&copy, &about, &programmer}) {
            QWidgetList controls = window->findChildren<QWidget*>();
            controls.prepend(window);
            for (QWidget* control : controls) {
                const QAccessibleInterface* accessible =
                    QAccessible::queryAccessibleInterface(control);
                QVERIFY(accessible != nullptr);
                QVERIFY2(
                    !accessible->text(QAccessible::Name).isEmpty(),
                    qPrintable(window->windowTitle() + ": " + control->metaObject()->className()));
            }
        }
    }
};

QTEST_MAIN(TestCopyAboutWindows)
#include "test_copy_about_windows.moc"
