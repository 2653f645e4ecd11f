#include <QtTest>

#include "app/list_cells.h"
#include "copy/clipboard_text.h"
#include "tests/recording_desktop.h"

Q_DECLARE_METATYPE(ChosenColumns)
Q_DECLARE_METATYPE(std::vector<TcpRow>)

namespace {

// The columns in the order a user ticks them; the resulting choice does not remember it.
ChosenColumns Ticked(std::initializer_list<int> columns) {
    ChosenColumns chosen{};
    for (int column : columns) chosen[static_cast<std::size_t>(column)] = true;
    return chosen;
}

const std::vector<TcpRow> kTwoConnections = {Row(5, "192.0.2.10", 40000, "198.51.100.7", 443),
                                             Row(2, "192.0.2.10", 8080, "0.0.0.0", 0)};

}  // namespace

class TestClipboardText : public QObject {
    Q_OBJECT

  private slots:
    void recordsOfTheChosenColumns_data() {
        QTest::addColumn<ChosenColumns>("chosen");
        QTest::addColumn<std::vector<TcpRow>>("rows");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("initial choice") << Ticked({0, 2}) << kTwoConnections
                                        << QByteArray(
                                               "192.0.2.10\t198.51.100.7\t\r\n"
                                               "192.0.2.10\t0.0.0.0\t\r\n");
        QTest::newRow("state only")
            << Ticked({4}) << kTwoConnections << QByteArray("ESTAB\t\r\nLISTEN\t\r\n");
        QTest::newRow("all five") << Ticked({0, 1, 2, 3, 4}) << kTwoConnections
                                  << QByteArray(
                                         "192.0.2.10\t40000\t198.51.100.7\t443\tESTAB\t\r\n"
                                         "192.0.2.10\t8080\t0.0.0.0\t0\tLISTEN\t\r\n");
        QTest::newRow("listening remote port is 0")
            << Ticked({3}) << std::vector{Row(2, "192.0.2.10", 8080, "0.0.0.0", 51000)}
            << QByteArray("0\t\r\n");
        QTest::newRow("ticking order does not matter")
            << Ticked({4, 1, 0}) << kTwoConnections
            << QByteArray("192.0.2.10\t40000\tESTAB\t\r\n192.0.2.10\t8080\tLISTEN\t\r\n");
        QTest::newRow("empty list") << Ticked({0}) << std::vector<TcpRow>{} << QByteArray();
    }
    void recordsOfTheChosenColumns() {
        QFETCH(ChosenColumns, chosen);
        QFETCH(std::vector<TcpRow>, rows);
        QFETCH(QByteArray, expected);

        const std::optional<std::string> text =
            ClipboardText(chosen, static_cast<int>(rows.size()), [&rows](int row, int column) {
                return ListCellText(rows.at(static_cast<std::size_t>(row)), column);
            });
        QVERIFY(text.has_value());
        QCOMPARE(QByteArray::fromStdString(*text), expected);
    }

    void anEmptyCellStillGetsItsTab() {
        const std::optional<std::string> text =
            ClipboardText(Ticked({0, 1, 4}), 2, [](int row, int column) {
                return row == 0 && column == 1 ? std::string() : std::to_string(row * 10 + column);
            });
        QVERIFY(text.has_value());
        QCOMPARE(QByteArray::fromStdString(*text), QByteArray("0\t\t4\t\r\n10\t11\t14\t\r\n"));
    }

    void noColumnChosenGivesNoTextAndReadsNoCell() {
        int cellsRead = 0;
        const std::optional<std::string> text = ClipboardText(Ticked({}), 3, [&](int, int) {
            ++cellsRead;
            return std::string("x");
        });
        QVERIFY(!text.has_value());
        QCOMPARE(cellsRead, 0);
    }
};

QTEST_APPLESS_MAIN(TestClipboardText)
#include "test_clipboard_text.moc"
