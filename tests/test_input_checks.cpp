#include <QTest>

#include "filters/input_checks.h"

// The checks behind the add-filter window, over the values a user might type.
class TestInputChecks : public QObject {
    Q_OBJECT
private slots:
    void valueChecks_data();
    void valueChecks();
    void keyFilter_data();
    void keyFilter();
    void pastedText();
};

void TestInputChecks::valueChecks_data() {
    QTest::addColumn<bool>("address");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");

    const auto address = [](const char* value, bool accepted) {
        QTest::addRow("address %s", value) << true << value << accepted;
    };
    const auto port = [](const char* value, bool accepted) {
        QTest::addRow("port %s", value) << false << value << accepted;
    };
    address("192.168.1.20", true);
    address("255.255.255.255", true);
    address("0.0.0.0", true);
    address("256.1.1.1", false);
    address("1.2.3.255", true);
    address("1.2.3.256", false);
    address("1.2.3", false);
    address("1.2.3.4.5", false);
    address("", false);
    address("999", false);
    // Entries that could never match a connection, which is always shown without leading zeros.
    address("...", false);
    address("1..2.3", false);
    address("1.2.3.", false);
    address("010.0.0.1", false);
    address("1.2.3.00", false);
    address("0001.2.3.4", false);
    address("1.2.3.4a", false);

    port("80", true);
    port("0", true);
    port("10000", true);
    port("10001", true);
    port("65535", true);
    port("65536", false);
    port("99999999999999999999", false);
    port("", false);
    port(".", false);
    port("1.2.3", false);
    port("080", true);
    port("80.0", true);
    port("80.", true);
    port("8.5", false);
    port(".5", false);
    port("-80", false);
    port("80a", false);
}

void TestInputChecks::valueChecks() {
    QFETCH(bool, address);
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    const std::string text = value.toStdString();
    const auto refusal = address ? AddressRefusal(text) : PortRefusal(text);
    QCOMPARE(!refusal.has_value(), accepted);
    if (refusal) {
        QCOMPARE(*refusal,
                 address ? "Please enter a valid IP Address" : "Please enter a valid port No");
    }
}

void TestInputChecks::keyFilter_data() {
    QTest::addColumn<uint>("character");
    QTest::addColumn<bool>("reaches");
    for (char digit = '0'; digit <= '9'; ++digit)
        QTest::addRow("digit %c", digit) << uint(digit) << true;
    QTest::newRow("full stop") << uint('.') << true;
    QTest::newRow("backspace") << uint('\b') << true;
    QTest::newRow("letter") << uint('a') << false;
    QTest::newRow("space") << uint(' ') << false;
    QTest::newRow("minus") << uint('-') << false;
    QTest::newRow("comma") << uint(',') << false;
    QTest::newRow("enter") << uint('\r') << false;
    QTest::newRow("arabic-indic digit") << uint(0x0663) << false;
}

void TestInputChecks::keyFilter() {
    QFETCH(uint, character);
    QFETCH(bool, reaches);
    QCOMPARE(KeyReachesValueBox(char32_t(character)), reaches);
}

void TestInputChecks::pastedText() {
    QCOMPARE(ValueBoxText("ip: 10.0.0.5, port -80\b\n"), "10.0.0.580");
    QCOMPARE(ValueBoxText("abc"), "");
}

QTEST_APPLESS_MAIN(TestInputChecks)
#include "test_input_checks.moc"
