#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <functional>

#include "app/frmMain.h"
#include "app/single_window.h"
#include "filters/Module2.h"
#include "filters/frmAddNew.h"
#include "filters/frmFilter.h"
#include "tests/modal_answer.h"
#include "tests/recording_desktop.h"

// The filter list and add-filter windows, driven like a user drives them: keys and clicks on the
// real widgets, each modal window answered from inside its own loop.

namespace {

void ShowFilterList(const std::function<void(frmFilter&)>& answer) {
    AnswerModal([] { SingleInstance<frmFilter>().exec(); },
                [answer] { answer(SingleInstance<frmFilter>()); });
}

void ShowAddNew(const std::function<void(frmAddNew&)>& answer) {
    AnswerModal([] { SingleInstance<frmAddNew>().exec(); },
                [answer] { answer(SingleInstance<frmAddNew>()); });
}

// The add window as the filter list window's "&Add New" opens it.
void PressAddNew(frmFilter& filterList, const std::function<void(frmAddNew&)>& answer) {
    AnswerModal([&filterList] { QTest::mouseClick(filterList.cmdAdd, Qt::LeftButton); },
                [answer] { answer(SingleInstance<frmAddNew>()); });
}

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
private slots:
    void init();
    void cleanup();
    void modalStackFromMainWindow();
    void duplicateRefusedThenOtherSideAccepted();
    void leavingTheBoxChecksOnce();
    void escHidesWithoutAdding();
    void deleteWithAndWithoutSelection();
    void closeButtonKeepsCloseBoxRebuilds();
    void onlyDigitsAndFullStopsReachTheBox();
    void enterReleaseAfterMessageAddsOnce();
    void everyControlIsNamed();

private:
    // The message texts recorded so far.
    QStringList Messages() const;
    RecordingDesktop desktop;
};

QStringList TestFilterWindows::Messages() const {
    QStringList texts;
    for (const auto& message : desktop.messages) texts << QString::fromStdString(message.text);
    return texts;
}

// Every test starts as the program does: start-up filters, windows not yet built.
void TestFilterWindows::init() {
    DestroySecondaryWindows();
    SetInitialFilters();
    desktop.messages.clear();
}

void TestFilterWindows::cleanup() {
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QTRY_COMPARE(OpenWindows(), QWidgetList());
}

void TestFilterWindows::modalStackFromMainWindow() {
    frmMain main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    const int tableReads = desktop.tableReads;

    AnswerModal([&main] { QTest::mouseClick(main.cmdFilter, Qt::LeftButton); },
                [&] {
                    frmFilter& filterList = SingleInstance<frmFilter>();
                    QCOMPARE(QApplication::activeModalWidget(), &filterList);
                    QCOMPARE(filterList.windowModality(), Qt::ApplicationModal);
                    QVERIFY(QTest::qWaitForWindowActive(&filterList));
                    QCOMPARE(QApplication::focusWidget(), filterList.lstFilter);
                    QCOMPARE(Lines(filterList.lstFilter), kStartLines);

                    PressAddNew(filterList, [&](frmAddNew& addNew) {
                        QCOMPARE(QApplication::activeModalWidget(), &addNew);
                        QVERIFY(QTest::qWaitForWindowActive(&addNew));
                        QCOMPARE(addNew.Combo1->currentText(), "Local IP = ");
                        QCOMPARE(addNew.Text1->text(), "");
                        QCOMPARE(QApplication::focusWidget(), addNew.cmdAdd);

                        QTest::mouseClick(addNew.cmdAdd, Qt::LeftButton);
                        QCOMPARE(Messages(), QStringList{"Please enter a valid IP Address"});
                        QCOMPARE(desktop.messages.back().title, "Add New Filter");
                        QCOMPARE(desktop.messages.back().icon, MessageIcon::Critical);
                        QVERIFY(addNew.isVisible());
                        QCOMPARE(QApplication::focusWidget(), addNew.Text1);

                        QTest::keyClicks(addNew.Text1, "192.168.1.20");
                        QTest::mouseClick(addNew.cmdAdd, Qt::LeftButton);
                        QVERIFY(!addNew.isVisible());
                    });
                    QCOMPARE(Messages().size(), 1);
                    QCOMPARE(Lines(filterList.lstFilter),
                             QStringList({"Local IP = 0.0.0.0", "Local IP = 127.0.0.1",
                                          "Local IP = 192.168.1.20", "Remote IP = 192.168.1.1",
                                          "Remote IP = 0.0.0.0"}));
                    QTest::mouseClick(filterList.cmdClose, Qt::LeftButton);
                    QVERIFY(!filterList.isVisible());
                });
    // The connection list waits for the next refresh.
    QCOMPARE(desktop.tableReads, tableReads);
}

void TestFilterWindows::duplicateRefusedThenOtherSideAccepted() {
    ShowAddNew([&](frmAddNew& addNew) {
        QVERIFY(QTest::qWaitForWindowActive(&addNew));
        QTest::keyClick(addNew.cmdAdd, Qt::Key_Tab);
        QTest::keyClicks(addNew.Text1, "127.0.0.1");
        QTest::keyClick(addNew.Text1, Qt::Key_Return);
        QCOMPARE(Messages(), QStringList{"Already added to filter list"});
        QCOMPARE(desktop.messages.back().title, "Add New Filter");
        QCOMPARE(desktop.messages.back().icon, MessageIcon::Information);
        QVERIFY(addNew.isVisible());
        QCOMPARE(LocalIPList, FilterList({"0.0.0.0", "127.0.0.1"}));

        // Two steps down the kind list; every step empties the box and returns to it.
        addNew.Combo1->setFocus();
        QTest::keyClick(addNew.Combo1, Qt::Key_Down);
        QTest::keyClick(addNew.Combo1, Qt::Key_Down);
        QCOMPARE(addNew.Combo1->currentText(), "Remote IP = ");
        QCOMPARE(addNew.Text1->text(), "");
        QCOMPARE(addNew.Text1->property("Tag").toString(), "0");
        QCOMPARE(QApplication::focusWidget(), addNew.Text1);

        QTest::keyClicks(addNew.Text1, "127.0.0.1");
        QTest::keyClick(addNew.Text1, Qt::Key_Return);
        QVERIFY(!addNew.isVisible());
    });
    QCOMPARE(Messages().size(), 1);
    QCOMPARE(RemoteIPList, FilterList({"192.168.1.1", "0.0.0.0", "127.0.0.1"}));
}

void TestFilterWindows::leavingTheBoxChecksOnce() {
    ShowAddNew([&](frmAddNew& addNew) {
        QVERIFY(QTest::qWaitForWindowActive(&addNew));
        QTest::keyClick(addNew.cmdAdd, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), addNew.Text1);
        QTest::keyClicks(addNew.Text1, "999");
        QTest::keyClick(addNew.Text1, Qt::Key_Tab);
        QCOMPARE(Messages(), QStringList{"Please enter a valid IP Address"});
        QCOMPARE(QApplication::focusWidget(), addNew.Text1);
        QCOMPARE(addNew.Text1->selectedText(), "999");

        QTest::keyClick(addNew.Text1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), addNew.Combo1);
        QCOMPARE(Messages().size(), 1);
        QTest::keyClick(addNew.Combo1, Qt::Key_Escape);
    });
    QCOMPARE(Messages().size(), 1);
}

void TestFilterWindows::escHidesWithoutAdding() {
    for (int opening = 0; opening < 2; ++opening) {
        ShowAddNew([&](frmAddNew& addNew) {
            QVERIFY(QTest::qWaitForWindowActive(&addNew));
            QTest::keyClick(addNew.cmdAdd, Qt::Key_Tab);
            // Kept from the first opening, as it was left.
            QCOMPARE(addNew.Text1->text(), opening == 0 ? "" : "10.0.0.7");
            if (opening == 0) QTest::keyClicks(addNew.Text1, "10.0.0.7");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(!addNew.isVisible());
        });
    }
    ShowFilterList([](frmFilter& filterList) {
        QVERIFY(QTest::qWaitForWindowActive(&filterList));
        QTest::keyClick(filterList.lstFilter, Qt::Key_Escape);
        QVERIFY(!filterList.isVisible());
    });
    QCOMPARE(Messages(), QStringList());
    QCOMPARE(LocalIPList, FilterList({"0.0.0.0", "127.0.0.1"}));
}

void TestFilterWindows::deleteWithAndWithoutSelection() {
    ShowFilterList([&](frmFilter& filterList) {
        QVERIFY(QTest::qWaitForWindowActive(&filterList));
        QTest::keyClick(filterList.lstFilter, Qt::Key_End);
        QCOMPARE(filterList.lstFilter->selectedItems().size(), 1);
        QTest::keyClick(filterList.lstFilter, Qt::Key_D, Qt::AltModifier);
        QTRY_COMPARE(
            Lines(filterList.lstFilter),
            QStringList({"Local IP = 0.0.0.0", "Local IP = 127.0.0.1", "Remote IP = 192.168.1.1"}));
        QCOMPARE(Messages(), QStringList());
        QVERIFY(filterList.lstFilter->selectedItems().isEmpty());

        QTest::mouseClick(filterList.cmdDelete, Qt::LeftButton);
        QCOMPARE(Messages(), QStringList{"The item does not exists in the filter list."});
        QCOMPARE(desktop.messages.back().title, "Delete Entry");
        QCOMPARE(desktop.messages.back().icon, MessageIcon::Warning);
        QCOMPARE(Lines(filterList.lstFilter).size(), 3);
        QTest::mouseClick(filterList.cmdClose, Qt::LeftButton);
    });
    QCOMPARE(LocalIPList, FilterList({"0.0.0.0", "127.0.0.1"}));
    QCOMPARE(RemoteIPList, FilterList{"192.168.1.1"});
}

// A change of the store that bypasses the windows shows whether the lines were rebuilt.
void TestFilterWindows::closeButtonKeepsCloseBoxRebuilds() {
    ShowFilterList([](frmFilter& filterList) { filterList.cmdClose_Click(); });
    const frmFilter* first = ExistingInstance<frmFilter>();
    LocalPortList.push_back("8080");

    ShowFilterList([&](frmFilter& filterList) {
        QCOMPARE(&filterList, first);
        QCOMPARE(Lines(filterList.lstFilter), kStartLines);
        filterList.close();  // as the close box does
    });
    QTRY_VERIFY(ExistingInstance<frmFilter>() == nullptr);
    ShowFilterList([](frmFilter& filterList) {
        QCOMPARE(Lines(filterList.lstFilter),
                 QStringList({"Local IP = 0.0.0.0", "Local IP = 127.0.0.1", "Local Port = 8080",
                              "Remote IP = 192.168.1.1", "Remote IP = 0.0.0.0"}));
        filterList.cmdClose_Click();
    });

    ShowAddNew([](frmAddNew& addNew) {
        addNew.Combo1->setCurrentIndex(3);
        addNew.Combo1_Click();
        addNew.Text1->setText("443");
        addNew.close();
    });
    QTRY_VERIFY(ExistingInstance<frmAddNew>() == nullptr);
    ShowAddNew([](frmAddNew& addNew) {
        QCOMPARE(addNew.Combo1->currentText(), "Local IP = ");
        QCOMPARE(addNew.Text1->text(), "");
        addNew.cmdCancel_Click();
    });
}

void TestFilterWindows::onlyDigitsAndFullStopsReachTheBox() {
    ShowAddNew([](frmAddNew& addNew) {
        QVERIFY(QTest::qWaitForWindowActive(&addNew));
        addNew.Text1->setFocus();
        QTest::keyClicks(addNew.Text1, "1a -2.");
        QCOMPARE(addNew.Text1->text(), "12.");
        QCOMPARE(addNew.Text1->property("Tag").toString(), "1");
        QTest::keyClick(addNew.Text1, Qt::Key_Backspace);
        QCOMPARE(addNew.Text1->text(), "12");

        QApplication::clipboard()->setText("port: 8.0-8 x");
        QTest::keyClick(addNew.Text1, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(addNew.Text1->text(), "128.08");
        addNew.cmdCancel_Click();
    });
}

void TestFilterWindows::enterReleaseAfterMessageAddsOnce() {
    ShowAddNew([&](frmAddNew& addNew) {
        QVERIFY(QTest::qWaitForWindowActive(&addNew));
        addNew.Combo1->setCurrentIndex(1);
        addNew.Combo1_Click();
        QCOMPARE(QApplication::focusWidget(), addNew.Text1);
        QTest::keyClick(addNew.Text1, Qt::Key_Return);
        QCOMPARE(Messages(), QStringList{"Please enter a valid port No"});
        // The Enter that closes the message box is pressed there; only its release reaches
        // the value box.
        QTest::keyRelease(addNew.Text1, Qt::Key_Return);
        QCOMPARE(Messages().size(), 1);

        QTest::keyClicks(addNew.Text1, "8080");
        QTest::keyClick(addNew.Text1, Qt::Key_Enter);
        QVERIFY(!addNew.isVisible());
    });
    QCOMPARE(LocalPortList, FilterList{"8080"});

    // The window comes back as it was left; the same value is now a duplicate.
    ShowAddNew([&](frmAddNew& addNew) {
        QCOMPARE(addNew.Combo1->currentText(), "Local Port = ");
        QCOMPARE(addNew.Text1->text(), "8080");
        QTest::mouseClick(addNew.cmdAdd, Qt::LeftButton);
        QCOMPARE(Messages().back(), "Already added to filter list");
        addNew.cmdCancel_Click();
    });
    QCOMPARE(LocalPortList, FilterList{"8080"});
}

void TestFilterWindows::everyControlIsNamed() {
    const QList<QWidget*> windows = {&SingleInstance<frmFilter>(), &SingleInstance<frmAddNew>()};
    for (QWidget* window : windows) {
        for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (control->focusPolicy() == Qt::NoFocus) continue;
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(window->windowTitle()));
        }
    }
}

QTEST_MAIN(TestFilterWindows)
#include "test_filter_windows.moc"
