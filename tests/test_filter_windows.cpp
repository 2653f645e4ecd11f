#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "frmMain.h"
#include "Module2.h"
#include "frmAddNew.h"
#include "frmFilter.h"
#include "tests/modal_answer.h"
#include "tests/recording_desktop.h"

// The filter list and add-filter windows, driven like a user drives them: keys and clicks on the
// real widgets, each modal window answered from inside its own loop.

namespace {

QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int row = 0; row < list->count(); ++row) lines << list->item(row)->text();
    return lines;
}

const QStringList kStartLines = {"Local IP = 0.0.0.0", "Local IP = 127.0.0.1",
                                 "Remote IP = 192.168.1.1", "Remote IP = 0.0.0.0"};

}  // namespace

class TestFilterWindows : public QObject {
    Q_OBJECT
    RecordingDesktop desktop;

    // Every message so far, as "icon title: text".
    QStringList Messages() const {
        const char* const icons[] = {"critical", "warning", "information"};
        QStringList lines;
        for (const auto& [text, title, icon] : desktop.messages)
            lines << QString("%1 %2: %3").arg(icons[int(icon)], title.c_str(), text.c_str());
        return lines;
    }

private slots:
    // Every test starts as the program does: start-up filters, windows not yet built.
    void init() {
        DestroySecondaryWindows();
        SetInitialFilters();
        desktop.messages.clear();
    }

    void cleanup() { QTRY_COMPARE(OpenWindows(), QWidgetList()); }

    // From the main window: the filter list, then over it the add-filter window, each modal; an
    // empty value refused, then a value added.
    void modalStackFromMainWindow() {
        frmMain main;
        main.show();
        const auto pressFilter = [&main] { QTest::mouseClick(main.cmdFilter, Qt::LeftButton); };
        AnswerWindow<frmFilter>(pressFilter, [&](frmFilter& filterList) {
            QCOMPARE(QApplication::activeModalWidget(), &filterList);
            const auto pressAdd = [&] { QTest::mouseClick(filterList.cmdAdd, Qt::LeftButton); };
            AnswerWindow<frmAddNew>(pressAdd, [&](frmAddNew& addNew) {
                QCOMPARE(QApplication::activeModalWidget(), &addNew);
                QTest::mouseClick(addNew.cmdAdd, Qt::LeftButton);
                QVERIFY(addNew.isVisible());
                QTest::keyClicks(addNew.Text1, "192.168.1.20");
                QTest::mouseClick(addNew.cmdAdd, Qt::LeftButton);
                QVERIFY(!addNew.isVisible());
            });
            QCOMPARE(Lines(filterList.lstFilter)[2], "Local IP = 192.168.1.20");
            QTest::mouseClick(filterList.cmdClose, Qt::LeftButton);
        });
        QCOMPARE(Messages(),
                 QStringList{"critical Add New Filter: Please enter a valid IP Address"});
    }

    void deleteWithAndWithoutSelection() {
        AnswerWindow<frmFilter>([&](frmFilter& filterList) {
            QVERIFY(QTest::qWaitForWindowActive(&filterList));  // for the Alt+D shortcut
            QTest::keyClick(filterList.lstFilter, Qt::Key_End);
            QTest::keyClick(filterList.lstFilter, Qt::Key_D, Qt::AltModifier);
            QTRY_COMPARE(Lines(filterList.lstFilter), kStartLines.mid(0, 3));
            QTest::mouseClick(filterList.cmdDelete, Qt::LeftButton);  // nothing selected now
            QCOMPARE(Lines(filterList.lstFilter), kStartLines.mid(0, 3));
        });
        QCOMPARE(Messages(),
                 QStringList{"warning Delete Entry: The item does not exists in the filter list."});
    }

    // Typed and pasted text alike keep only digits and full stops. The value is refused while
    // its side has it; two steps down the kind list, which empties the box, it is taken.
    void duplicateRefusedThenOtherSideAccepted() {
        AnswerWindow<frmAddNew>([&](frmAddNew& addNew) {
            QTest::keyClicks(addNew.Text1, "12a7.0 -.0");
            QApplication::clipboard()->setText("ip: .1 x");
            QTest::keyClick(addNew.Text1, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(addNew.Text1->text(), "127.0.0.1");
            QTest::keyClick(addNew.Text1, Qt::Key_Return);
            QVERIFY(addNew.isVisible());
            addNew.Combo1->setFocus();
            QTest::keyClick(addNew.Combo1, Qt::Key_Down);
            QTest::keyClick(addNew.Combo1, Qt::Key_Down);
            QCOMPARE(addNew.Text1->text(), "");
            QTest::keyClicks(addNew.Text1, "127.0.0.1");
            QTest::keyClick(addNew.Text1, Qt::Key_Return);
            QVERIFY(!addNew.isVisible());
        });
        QCOMPARE(Messages(),
                 QStringList{"information Add New Filter: Already added to filter list"});
        QCOMPARE(RemoteIPList, FilterList({"192.168.1.1", "0.0.0.0", "127.0.0.1"}));
    }

    // A refused value is reported once: not again on the next Tab, nor on the release of the
    // Enter that closed the message box (pressed there, released here). Esc leaves with nothing
    // added and no check.
    void refusalReportedOnce() {
        AnswerWindow<frmAddNew>([&](frmAddNew& addNew) {
            QVERIFY(QTest::qWaitForWindowActive(&addNew));
            QTest::keyClick(addNew.cmdAdd, Qt::Key_Tab);
            QTest::keyClicks(addNew.Text1, "999");
            QTest::keyClick(addNew.Text1, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), addNew.Text1);
            QCOMPARE(addNew.Text1->selectedText(), "999");
            QTest::keyClick(addNew.Text1, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), addNew.Combo1);

            QTest::keyClick(addNew.Combo1, Qt::Key_Down);  // Local Port, an empty box
            QTest::keyClick(addNew.Text1, Qt::Key_Return);
            QTest::keyRelease(addNew.Text1, Qt::Key_Return);
            QTest::keyClicks(addNew.Text1, "99999");
            QTest::keyClick(addNew.Text1, Qt::Key_Escape);
            QVERIFY(!addNew.isVisible());
        });
        QCOMPARE(Messages(),
                 QStringList({"critical Add New Filter: Please enter a valid IP Address",
                              "critical Add New Filter: Please enter a valid port No"}));
    }

    // A change of the store that bypasses the windows shows whether the lines were rebuilt.
    void closeButtonKeepsCloseBoxRebuilds() {
        AnswerWindow<frmFilter>([](frmFilter& filterList) { filterList.cmdClose_Click(); });
        LocalPortList.push_back("8080");
        AnswerWindow<frmFilter>([](frmFilter& filterList) {
            QCOMPARE(Lines(filterList.lstFilter), kStartLines);
            filterList.close();  // as the close box does
        });
        QTRY_VERIFY(ExistingInstance<frmFilter>() == nullptr);
        AnswerWindow<frmFilter>([](frmFilter& filterList) {
            QCOMPARE(Lines(filterList.lstFilter)[2], "Local Port = 8080");
        });
    }
};

QTEST_MAIN(TestFilterWindows)
#include "test_filter_windows.moc"
