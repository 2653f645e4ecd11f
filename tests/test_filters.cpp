#include <QtTest>

#include "Module2.h"
#include "tests/recording_desktop.h"

Q_DECLARE_METATYPE(TcpRow)

class TestFilters : public QObject {
    Q_OBJECT
    RecordingDesktop desktop;

private slots:
    void init() {
        SetInitialFilters();
        desktop.messages.clear();
    }

    void isFiltered_data() {
        QTest::addColumn<QStringList>("localPorts");
        QTest::addColumn<QStringList>("remotePorts");
        QTest::addColumn<TcpRow>("row");
        QTest::addColumn<bool>("hidden");

        const QStringList none;
        QTest::newRow("local all-interfaces") << none << none << Row(2, "0.0.0.0", 22, "0.0.0.0", 0) << true;
        QTest::newRow("local loopback") << none << none << Row(5, "127.0.0.1", 5000, "10.0.0.9", 80) << true;
        QTest::newRow("remote gateway") << none << none << Row(5, "10.0.0.5", 5000, "192.168.1.1", 80) << true;
        QTest::newRow("other loopback shown") << none << none << Row(5, "127.0.0.2", 5000, "127.0.0.3", 80) << false;
        QTest::newRow("local port") << QStringList{"443"} << none << Row(5, "10.0.0.5", 443, "10.0.0.9", 5) << true;
        QTest::newRow("local port not remote") << QStringList{"443"} << none << Row(5, "10.0.0.5", 5, "10.0.0.9", 443) << false;
        QTest::newRow("leading zero port") << none << QStringList{"080"} << Row(5, "10.0.0.5", 5, "10.0.0.9", 80) << true;
        QTest::newRow("decimal port") << none << QStringList{"80.0"} << Row(5, "10.0.0.5", 5, "10.0.0.9", 80) << true;
        QTest::newRow("fraction port") << QStringList{"1.5"} << QStringList{"1.5"} << Row(5, "10.0.0.5", 1, "10.0.0.9", 2) << false;
        QTest::newRow("listener tested with its own remote field")
            << none << QStringList{"0"} << Row(2, "10.0.0.5", 8080, "10.0.0.9", 7) << false;
    }

    void isFiltered() {
        QFETCH(QStringList, localPorts);
        QFETCH(QStringList, remotePorts);
        QFETCH(TcpRow, row);
        QFETCH(bool, hidden);
        for (const QString& port : localPorts) LocalPortList.push_back(port.toStdString());
        for (const QString& port : remotePorts) RemotePortList.push_back(port.toStdString());
        QCOMPARE(IsFiltered(row), hidden);
    }

    void addressesMatchOnlyTheirCanonicalText() {
        LocalIPList = {"127.0.0.01", "10.0.0.5 "};
        RemoteIPList = {};
        QVERIFY(!IsFiltered(Row(5, "127.0.0.1", 1, "10.0.0.9", 2)));
        QVERIFY(!IsFiltered(Row(5, "10.0.0.5", 1, "10.0.0.9", 2)));
        // The same value in both lists hides it on either side.
        LocalIPList = {"10.1.1.1"};
        RemoteIPList = {"10.1.1.1"};
        QVERIFY(IsFiltered(Row(5, "10.1.1.1", 1, "10.0.0.9", 2)));
        QVERIFY(IsFiltered(Row(5, "10.0.0.9", 1, "10.1.1.1", 2)));
    }

    void filterExists() {
        QVERIFY(FilterExists(FilterKinds::RemoteIP, "0.0.0.0"));
        QVERIFY(!FilterExists(FilterKinds::LocalPort, "0.0.0.0"));
        QVERIFY(!FilterExists(FilterKinds::LocalIP, "127.0.0.1 "));
        QVERIFY(!FilterExists(7, "0.0.0.0"));
    }

    void removeFilterKeepsOrderAndWarnsWhenAbsent() {
        RemoveFilter(FilterKinds::LocalIP, "127.0.0.1");
        QCOMPARE(LocalIPList, FilterList{"0.0.0.0"});
        QVERIFY(desktop.messages.empty());

        RemoveFilter(FilterKinds::LocalIP, "127.0.0.1");
        QCOMPARE(LocalIPList, FilterList{"0.0.0.0"});
        QCOMPARE(desktop.messages.size(), 1u);
        QCOMPARE(desktop.messages[0].text, "The item does not exists in the filter list.");
        QCOMPARE(desktop.messages[0].title, "Delete Entry");
        QVERIFY(desktop.messages[0].icon == MessageIcon::Warning);

        RemotePortList = {"1", "2", "3"};
        RemoveFilter(FilterKinds::RemotePort, "1");
        QCOMPARE(RemotePortList, (FilterList{"2", "3"}));

        RemoveFilter(FilterKinds::LocalIP, "0.0.0.0");
        QVERIFY(LocalIPList.empty());
        QVERIFY(FilterExists(FilterKinds::RemoteIP, "0.0.0.0"));  // the other side keeps its own

        RemoveFilter(9, "0.0.0.0");
        RemoveFilter(FilterKinds::LocalPort, "");
        QCOMPARE(desktop.messages.size(), 3u);
    }

    void filterLines() {
        QCOMPARE(FilterLines(), (std::vector<std::string>{"Local IP = 0.0.0.0", "Local IP = 127.0.0.1",
                                                          "Remote IP = 192.168.1.1",
                                                          "Remote IP = 0.0.0.0"}));
        RemotePortList = {"443"};
        LocalPortList = {"80"};
        QCOMPARE(FilterLines()[2], "Local Port = 80");
        QCOMPARE(FilterLines().back(), "Remote Port = 443");
        LocalIPList = LocalPortList = RemoteIPList = RemotePortList = {};
        QVERIFY(FilterLines().empty());
    }

    void textCutters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("entry line") << "Local IP = 1.2.3.4" << "Local IP" << "1.2.3.4";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("no separator, untrimmed") << "  abc  " << "  abc  " << "";
        QTest::newRow("separator first") << "=5" << "=5" << "";
        QTest::newRow("only first separator splits") << "a = b = c" << "a" << "b = c";
        QTest::newRow("tabs are not trimmed") << "\tkind = \tvalue" << "\tkind" << "\tvalue";
        QTest::newRow("nothing after") << "Remote Port =" << "Remote Port" << "";
    }

    void textCutters() {
        QFETCH(QString, text);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QCOMPARE(QString::fromStdString(TextBefore(text.toStdString(), "=")), before);
        QCOMPARE(QString::fromStdString(TextAfter(text.toStdString(), "=")), after);
    }
};

QTEST_APPLESS_MAIN(TestFilters)
#include "test_filters.moc"
