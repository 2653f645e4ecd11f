// The Linux table sources against the real kernel, in a network namespace of the test's own,
// with ss as the witness.
#include <sys/socket.h>
#include <unistd.h>

#include <QRegularExpression>
#include <QTest>

#include "network_namespace.h"
#include "snapshot/tcp_table.h"
#include "snapshot/tcp_table_linux.h"
#include "ss_listing.h"

namespace {

using Source = TcpTable (*)();

// The rows of a source, or its failure as the only line, so that a comparison shows it.
QStringList Read(Source source) {
    const TcpTable table = source();
    if (!table.readable()) return {QString::fromStdString(table.failure)};
    return RowTexts(table.rows);
}

QStringList SsRows(const char* options) { return RowTexts(RowsFromSsListing(RunSs(options))); }

int Accept(int listener) { return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }

qsizetype Matching(const QStringList& rows, const char* pattern) {
    return rows.filter(QRegularExpression(pattern)).size();
}

}  // namespace

Q_DECLARE_METATYPE(Source)

class KernelTableTest : public QObject {
    Q_OBJECT

    std::vector<int> sockets_;

    // Keeps a socket open until the test ends.
    int Keep(int socket) {
        if (socket >= 0) sockets_.push_back(socket);
        return socket;
    }

    static void AddSources() {
        QTest::addColumn<Source>("source");
        QTest::newRow("netlink") << Source(ReadNetlinkTcpTable);
        QTest::newRow("/proc") << Source(ReadProcTcpTable);
        QTest::newRow("GetTcpTable") << Source(GetTcpTable);
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

    void sameRowsAsSs_data() { AddSources(); }
    void sameRowsAsSs() {
        QFETCH(Source, source);
        const int web = Keep(Listen("127.0.0.2", 8080));
        QVERIFY(web >= 0);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(Keep(ConnectFrom("127.0.0.3", "127.0.0.2", 8080)) >= 0);
            QVERIFY(Keep(Accept(web)) >= 0);
        }
        // Half closed: FIN-WAIT-2 on the client, CLOSE-WAIT on the server.
        QVERIFY(shutdown(Keep(ConnectFrom("127.0.0.3", "127.0.0.2", 8080)), SHUT_WR) == 0);
        QVERIFY(Keep(Accept(web)) >= 0);
        QTRY_COMPARE(
            Matching(SsRows("-tan4"), R"(^(FIN_WAIT2 127\.0\.0\.3:\d+ 127\.0\.0\.2:8080|)"
                                      R"(CLOSE_WAIT 127\.0\.0\.2:8080 127\.0\.0\.3:\d+)$)"),
            2);
        const QStringList witness = SsRows("-tan4");
        QCOMPARE(witness.size(), 9);
        QCOMPARE(Read(source), witness);
    }

    // A listener on [::] takes IPv4 clients; the kernel lists the server's side of those
    // connections only among its IPv6 sockets. They show as IPv4 rows; the [::] listener itself
    // and a real IPv6 connection do not show.
    void dualStackListener_data() { AddSources(); }
    void dualStackListener() {
        QFETCH(Source, source);
        const int dual = Keep(Listen("::", 8443));
        const int ipv6Only = Keep(Listen("::1", 9443));
        QVERIFY(dual >= 0 && ipv6Only >= 0);
        QVERIFY(Keep(ConnectFrom("::1", "::1", 9443)) >= 0);
        QVERIFY(Keep(Accept(ipv6Only)) >= 0);
        for (int i = 0; i < 2; ++i) {
            QVERIFY(Keep(ConnectFrom("127.0.0.3", "127.0.0.2", 8443)) >= 0);
            QVERIFY(Keep(Accept(dual)) >= 0);
        }
        const QStringList witness = SsRows("-tan");
        QCOMPARE(witness.size(), 4);
        QCOMPARE(Matching(witness, R"(^ESTAB 127\.0\.0\.(3:\d+ 127\.0\.0\.2:8443|)"
                                   R"(2:8443 127\.0\.0\.3:\d+)$)"),
                 4);
        QCOMPARE(Read(source), witness);
    }
};

QTEST_APPLESS_MAIN(KernelTableTest)
#include "test_snapshot_kernel.moc"
