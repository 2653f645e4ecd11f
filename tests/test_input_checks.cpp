#include <QTest>

#include "input_checks.h"

// The checks behind the add-filter window, over the values a user might type.
class TestInputChecks : public QObject {
    Q_OBJECT

    static void AddRows(bool address, bool accepted, std::initializer_list<const char*> values) {
        for (const char* value : values)
            QTest::addRow("%s %s", address ? "address" : "port", value)
                << address << QString(value) << accepted;
    }

  private slots:
    void valueChecks_data() {
        QTest::addColumn<bool>("address");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("accepted");
        AddRows(true, true, {"192.168.1.20", "255.255.255.255", "0.0.0.0", "1.2.3.255"});
        // Connections are always shown without leading zeros, so such an entry never matches.
        AddRows(true, false,
                {"256.1.1.1", "1.2.3.256", "1.2.3", "1.2.3.4.5", "", "999", "...", "1..2.3",
                 "1.2.3.", "010.0.0.1", "1.2.3.00", "1.2.3.4a"});
        AddRows(false, true, {"0", "80", "10001", "65535", "080", "80.0", "80."});
        AddRows(false, false,
                {"65536", "99999999999999999999", "", ".", "1.2.3", "8.5", ".5", "-80", "80a"});
    }
    void valueChecks() {
        QFETCH(bool, address);
        QFETCH(QString, value);
        QFETCH(bool, accepted);
        const std::string text = value.toStdString();
        const auto refusal = address ? AddressRefusal(text) : PortRefusal(text);
        QCOMPARE(!refusal, accepted);
        if (refusal)
            QCOMPARE(*refusal,
                     address ? "Please enter a valid IP Address" : "Please enter a valid port No");
    }

    // Typed digits, full stops and Backspace reach the value box; pasting keeps digits and stops.
    void keyAndPasteFilters() {
        std::u32string reached;
        for (char32_t key : std::u32string_view(U"0123456789.\ba -,\r\u0663"))
            if (KeyReachesValueBox(key)) reached += key;
        QCOMPARE(QString::fromStdU32String(reached), QString::fromUcs4(U"0123456789.\b"));
        QCOMPARE(ValueBoxText("ip: 10.0.0.5, port -80\b\n"), "10.0.0.580");
        QCOMPARE(ValueBoxText("abc"), "");
    }
};

QTEST_APPLESS_MAIN(TestInputChecks)
#include "test_input_checks.moc"
