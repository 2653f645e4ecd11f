#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "app/frmMain.h"
#include "filters/Module2.h"
#include "filters/frmAddNew.h"
#include "filters/frmFilter.h"
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

    QStringList Messages() const {
        QStringList texts;
        for (const auto& message : desktop.messages) texts << QString::fromStdString(message.text);
        return texts;
    }
    // The last message's title and icon.
    void LastMessageIs(const char* title, MessageIcon icon) const {
        QCOMPARE(desktop.messages.back().title, title);
        QCOMPARE(desktop.messages.back().icon, icon);
    }

private slots:
    // Every test starts as the program does: start-up filters, windows not yet built.
    void init() {
        DestroySecondaryWindows();
        SetInitialFilters();
        desktop.messages.clear();
    }

    void cleanup() { QTRY_COMPARE(OpenWindows(), QWidgetList()); }

    void modalStackFromMainWindow() {
        frmMain main;
        main.show();
        const auto pressFilter = [&main] { QTest::mouseClick(main.cmdFilter, Qt::LeftButton); };
        AnswerWindow<frmFilter>(pressFilter, [&](frmFilter& filterList) {
            QCOMPARE(QApplication::activeModalWidget(), &filterList);
            QCOMPARE(Lines(filterList.lstFilter), kStartLines);
            const auto pressAdd = [&] { QTest::mouseClick(filterList.cmdAdd, Qt::LeftButton); };
            AnswerWindow<frmAddNew>(pressAdd, [&](frmAddNew& addNew) {
                QCOMPARE(QApplication::activeModalWidget(), &addNew);
                QTest::mouseClick(addNew.cmdAdd, Qt::LeftButton);
                QCOMPARE(Messages(), QStringList{"Please enter a valid IP Address"});
                LastMessageIs("Add New Filter", MessageIcon::Critical);
                QVERIFY(addNew.isVisible());

                QTest::keyClicks(addNew.Text1, "192.168.1.20");
                QTest::mouseClick(addNew.cmdAdd, Qt::LeftButton);
                QVERIFY(!addNew.isVisible());
            });
            QCOMPARE(Lines(filterList.lstFilter)[2], "Local IP = 192.168.1.20");
            QCOMPARE(Lines(filterList.lstFilter).size(), kStartLines.size() + 1);
            QTest::mouseClick(filterList.cmdClose, Qt::LeftButton);
        });
        QCOMPARE(Messages().size(), 1);
    }

    void duplicateRefusedThenOtherSideAccepted() {
        AnswerWindow<frmAddNew>([&](frmAddNew& addNew) {
            QTest::keyClicks(addNew.Text1, "127.0.0.1");
            QTest::keyClick(addNew.Text1, Qt::Key_Return);
            QCOMPARE(Messages(), QStringList{"Already added to filter list"});
            LastMessageIs("Add New Filter", MessageIcon::Information);
            QVERIFY(addNew.isVisible());

            // Two steps down the kind list; the box is emptied.
            addNew.Combo1->setFocus();
            QTest::keyClick(addNew.Combo1, Qt::Key_Down);
            QTest::keyClick(addNew.Combo1, Qt::Key_Down);
            QCOMPARE(addNew.Combo1->currentText(), "Remote IP = ");
            QCOMPARE(addNew.Text1->text(), "");

            QTest::keyClicks(addNew.Text1, "127.0.0.1");
            QTest::keyClick(addNew.Text1, Qt::Key_Return);
            QVERIFY(!addNew.isVisible());
        });
        QCOMPARE(Messages().size(), 1);
        QCOMPARE(LocalIPList, FilterList({"0.0.0.0", "127.0.0.1"}));
        QCOMPARE(RemoteIPList, FilterList({"192.168.1.1", "0.0.0.0", "127.0.0.1"}));
    }

    // A refused value is reported once: not again on the next Tab, nor on the release of the
    // Enter that closed the message box (pressed there, released here).
    void refusalReportedOnce() {
        AnswerWindow<frmAddNew>([&](frmAddNew& addNew) {
            QVERIFY(QTest::qWaitForWindowActive(&addNew));
            QTest::keyClick(addNew.cmdAdd, Qt::Key_Tab);
            QTest::keyClicks(addNew.Text1, "999");
            QTest::keyClick(addNew.Text1, Qt::Key_Tab);
            QCOMPARE(Messages(), QStringList{"Please enter a valid IP Address"});
            QCOMPARE(QApplication::focusWidget(), addNew.Text1);
            QCOMPARE(addNew.Text1->selectedText(), "999");
            QTest::keyClick(addNew.Text1, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), addNew.Combo1);

            QTest::keyClick(addNew.Combo1, Qt::Key_Down);  // Local Port, an empty box
            QTest::keyClick(addNew.Text1, Qt::Key_Return);
            QTest::keyRelease(addNew.Text1, Qt::Key_Return);
            QTest::keyClicks(addNew.Text1, "8080");
            QTest::keyClick(addNew.Text1, Qt::Key_Enter);
            QVERIFY(!addNew.isVisible());
        });
        QCOMPARE(Messages(),
                 QStringList({"Please enter a valid IP Address", "Please enter a valid port No"}));
        QCOMPARE(LocalPortList, FilterList{"8080"});
    }

    // Typed and pasted text alike keeps only digits and full stops; Esc then adds nothing.
    void pastedLettersDropEscAddsNothing() {
        AnswerWindow<frmAddNew>([](frmAddNew& addNew) {
            QTest::keyClicks(addNew.Text1, "10a -0.");
            QApplication::clipboard()->setText("ip: 0.7 x");
            QTest::keyClick(addNew.Text1, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(addNew.Text1->text(), "100.0.7");
            QTest::keyClick(addNew.Text1, Qt::Key_Escape);
            QVERIFY(!addNew.isVisible());
        });
        QCOMPARE(Messages(), QStringList());
        QCOMPARE(LocalIPList, FilterList({"0.0.0.0", "127.0.0.1"}));
    }

    void deleteWithAndWithoutSelection() {
        AnswerWindow<frmFilter>([&](frmFilter& filterList) {
            QVERIFY(QTest::qWaitForWindowActive(&filterList));  // for the Alt+D shortcut
            QTest::keyClick(filterList.lstFilter, Qt::Key_End);
            QTest::keyClick(filterList.lstFilter, Qt::Key_D, Qt::AltModifier);
            QTRY_COMPARE(Lines(filterList.lstFilter), kStartLines.mid(0, 3));
            QCOMPARE(Messages(), QStringList());

            QTest::mouseClick(filterList.cmdDelete, Qt::LeftButton);
            QCOMPARE(Messages(), QStringList{"The item does not exists in the filter list."});
            LastMessageIs("Delete Entry", MessageIcon::Warning);
            QCOMPARE(Lines(filterList.lstFilter).size(), 3);
        });
        QCOMPARE(RemoteIPList, FilterList{"192.168.1.1"});
    }

    // A change of the store that bypasses the windows shows whether the lines were rebuilt.
    void closeButtonKeepsCloseBoxRebuilds() {
        AnswerWindow<frmFilter>([](frmFilter& filterList) { filterList.cmdClose_Click(); });
        const frmFilter* first = ExistingInstance<frmFilter>();
        LocalPortList.push_back("8080");
        AnswerWindow<frmFilter>([&](frmFilter& filterList) {
            QCOMPARE(&filterList, first);
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
