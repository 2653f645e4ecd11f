// The Linux table sources against the real kernel, in a network namespace of the test's own,
// with ss as the witness.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QStringList>
#include <QTest>
#include <functional>

#include "network_namespace.h"
#include "snapshot/Module1.h"
#include "snapshot/tcp_table.h"
#include "snapshot/tcp_table_linux.h"
#include "ss_listing.h"

namespace {

QString RowText(const TcpRow& row) {
    return QStringLiteral("%1 %2:%3 %4:%5")
        .arg(QString::fromUtf8(StateName(row.state - 1)),
             QString::fromStdString(IpText(row.localAddress)))
        .arg(PortNumber(row.localPort))
        .arg(QString::fromStdString(IpText(row.remoteAddress)))
        .arg(PortNumber(row.remotePort));
}

QStringList RowTexts(const std::vector<TcpRow>& rows) {
    QStringList texts;
    for (const TcpRow& row : rows) texts << RowText(row);
    return texts;
}

// The rows of a source, or its failure as the only line, so that a comparison shows it.
QStringList Read(const std::function<TcpTable()>& source) {
    const TcpTable table = source();
    if (!table.readable()) return {QString::fromStdString(table.failure)};
    return RowTexts(table.rows);
}

QStringList SsRows(const char* options) { return RowTexts(RowsFromSsListing(RunSs(options))); }

}  // namespace

Q_DECLARE_METATYPE(std::function<TcpTable()>)

class KernelTableTest : public QObject {
    Q_OBJECT

    std::vector<int> sockets_;

    // Keeps a socket open until the test ends.
    int Keep(int socket) {
        if (socket >= 0) sockets_.push_back(socket);
        return socket;
    }

    void AddSourceColumn() {
        QTest::addColumn<std::function<TcpTable()>>("source");
        QTest::newRow("netlink") << std::function<TcpTable()>(ReadNetlinkTcpTable);
        QTest::newRow("/proc") << std::function<TcpTable()>(ReadProcTcpTable);
        QTest::newRow("GetTcpTable") << std::function<TcpTable()>(GetTcpTable);
    }

  private slots:
    // Every test starts in an empty namespace of its own.
    void init() {
        std::string why;
        if (EnterPrivateNetworkNamespace(&why)) return;
        if (qgetenv("CI") == "true") QFAIL(why.c_str());
        QSKIP(why.c_str());
    }

    void cleanup() {
        for (int socket : sockets_) close(socket);
        sockets_.clear();
    }

    void sameRowsAsSs_data() { AddSourceColumn(); }
    void sameRowsAsSs() {
        QFETCH(std::function<TcpTable()>, source);
        const int web = Keep(Listen("127.0.0.2", 8080));
        QVERIFY(web >= 0);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(Keep(ConnectFrom("127.0.0.3", "127.0.0.2", 8080)) >= 0);
            QVERIFY(Keep(AcceptOne(web)) >= 0);
        }
        // Half closed: FIN-WAIT-2 on the client, CLOSE-WAIT on the server.
        QVERIFY(shutdown(Keep(ConnectFrom("127.0.0.3", "127.0.0.2", 8080)), SHUT_WR) == 0);
        QVERIFY(Keep(AcceptOne(web)) >= 0);
        // Closed by the server first: TIME-WAIT on the server side.
        const int client = ConnectFrom("127.0.0.3", "127.0.0.2", 8080);
        const int served = AcceptOne(web);
        QVERIFY(client >= 0 && served >= 0);
        close(served);
        close(client);
        // A full accept queue drops the next handshake, which stays in SYN-SENT.
        const int full = Keep(Listen("127.0.0.4", 65535, 0));
        QVERIFY(Keep(ConnectFrom("127.0.0.3", "127.0.0.4", 65535)) >= 0);
        QVERIFY(Keep(ConnectFrom("127.0.0.3", "127.0.0.4", 65535, Handshake::DontWait)) >= 0);
        QVERIFY(full >= 0);

        const auto has = [](const QStringList& rows, const char* start) {
            return rows.filter(QRegularExpression(start)).size() == 1;
        };
        QTRY_VERIFY(has(SsRows("-tan4"), "^TIME_WAIT 127\\.0\\.0\\.2:8080 127\\.0\\.0\\.3:"));
        const QStringList witness = SsRows("-tan4");
        QVERIFY(has(witness, "^LISTEN 127\\.0\\.0\\.2:8080 0\\.0\\.0\\.0:0$"));
        QVERIFY(has(witness, "^FIN_WAIT2 127\\.0\\.0\\.3:\\d+ 127\\.0\\.0\\.2:8080$"));
        QVERIFY(has(witness, "^CLOSE_WAIT 127\\.0\\.0\\.2:8080 127\\.0\\.0\\.3:"));
        QVERIFY(has(witness, "^SYN_SENT 127\\.0\\.0\\.3:\\d+ 127\\.0\\.0\\.4:65535$"));
        QCOMPARE(witness.size(), 14);
        QTRY_COMPARE(Read(source), SsRows("-tan4"));
    }

    // A listener on [::] takes IPv4 clients; the kernel lists the server's side of those
    // connections only among its IPv6 sockets. They show as IPv4 rows; the [::] listener itself
    // and a real IPv6 connection do not show.
    void mappedRowsFromDualStackListener_data() { AddSourceColumn(); }
    void mappedRowsFromDualStackListener() {
        QFETCH(std::function<TcpTable()>, source);
        const int dual = Keep(Listen("::", 8443));
        const int ipv6Only = Keep(Listen("::1", 9443));
        QVERIFY(dual >= 0 && ipv6Only >= 0);
        QVERIFY(Keep(ConnectFrom("::1", "::1", 9443)) >= 0);
        QVERIFY(Keep(AcceptOne(ipv6Only)) >= 0);
        std::vector<TcpRow> connections;
        const RawField client = AddressField(0x7F000003), server = AddressField(0x7F000002);
        for (int i = 0; i < 2; ++i) {
            const std::uint16_t port = LocalPort(Keep(ConnectFrom("127.0.0.3", "127.0.0.2", 8443)));
            QVERIFY(port != 0);
            QVERIFY(Keep(AcceptOne(dual)) >= 0);
            connections.push_back(
                {TcpState::Established, client, PortField(port), server, PortField(8443)});
            connections.push_back(
                {TcpState::Established, server, PortField(8443), client, PortField(port)});
        }
        SortIntoPlatformOrder(connections);
        const QStringList expected = RowTexts(connections);
        QCOMPARE(SsRows("-tan"), expected);
        QCOMPARE(Read(source), expected);
    }
};

QTEST_APPLESS_MAIN(KernelTableTest)
#include "test_snapshot_kernel.moc"
