#include <QtTest>

#include "clipboard_text.h"
#include "tests/recording_desktop.h"

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

// The columns in the order a user ticks them; the resulting choice does not remember it.
ChosenColumns Ticked(const std::vector<int>& columns) {
    ChosenColumns chosen{};
    for (int column : columns) chosen[static_cast<std::size_t>(column)] = true;
    return chosen;
}

// A listening row's remote port shows as 0 whatever the kernel holds.
const std::vector<TcpRow> kRows = {Row(5, "192.0.2.10", 40000, "198.51.100.7", 443),
                                   Row(2, "192.0.2.10", 8080, "0.0.0.0", 51000)};

}  // namespace

class TestClipboardText : public QObject {
    Q_OBJECT

  private slots:
    void recordsOfTheChosenColumns_data() {
        QTest::addColumn<std::vector<int>>("ticked");
        QTest::addColumn<int>("rowCount");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("state only") << std::vector{4} << 2 << QByteArray("ESTAB\t\r\nLISTEN\t\r\n");
        QTest::newRow("all five") << std::vector{0, 1, 2, 3, 4} << 2
                                  << QByteArray(
                                         "192.0.2.10\t40000\t198.51.100.7\t443\tESTAB\t\r\n"
                                         "192.0.2.10\t8080\t0.0.0.0\t0\tLISTEN\t\r\n");
        QTest::newRow("ticking order does not matter")
            << std::vector{4, 1, 0} << 2
            << QByteArray("192.0.2.10\t40000\tESTAB\t\r\n192.0.2.10\t8080\tLISTEN\t\r\n");
        QTest::newRow("empty list") << std::vector{0} << 0 << QByteArray();
    }
    void recordsOfTheChosenColumns() {
        QFETCH(std::vector<int>, ticked);
        QFETCH(int, rowCount);
        QFETCH(QByteArray, expected);
        const auto text = ClipboardText(Ticked(ticked), rowCount, [](int row, int column) {
            return ListCellText(kRows.at(static_cast<std::size_t>(row)), column);
        });
        QCOMPARE(QByteArray::fromStdString(text.value_or("no text")), expected);
    }

    // An empty cell keeps its TAB; with no column chosen there is no text, and no cell is read.
    void emptyCellAndNoColumn() {
        int cellsRead = 0;
        const CellText cell = [&](int row, int column) {
            ++cellsRead;
            return row == 0 && column == 1 ? std::string() : std::to_string(row * 10 + column);
        };
        QCOMPARE(QByteArray::fromStdString(
                     ClipboardText(Ticked({0, 1, 4}), 2, cell).value_or("no text")),
                 QByteArray("0\t\t4\t\r\n10\t11\t14\t\r\n"));
        cellsRead = 0;
        QVERIFY(!ClipboardText(Ticked({}), 3, cell).has_value());
        QCOMPARE(cellsRead, 0);
    }
};

QTEST_APPLESS_MAIN(TestClipboardText)
#include "test_clipboard_text.moc"
