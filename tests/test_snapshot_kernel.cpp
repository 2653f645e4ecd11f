// The Linux table sources against the real kernel, in a network namespace of the test's own,
// with ss as the witness.
#include <sys/socket.h>
#include <unistd.h>

#include <QRegularExpression>
#include <QTest>

#include "network_namespace.h"
#include "tcp_table.h"
#include "tcp_table_linux.h"
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

}  // namespace

Q_DECLARE_METATYPE(Source)

class KernelTableTest : public QObject {
    Q_OBJECT

    std::vector<int> sockets_;  // open until the test ends

    int Keep(int socket) { return sockets_.emplace_back(socket); }

    // A client from `from` connected to the listener on to:port, and the server's end of it.
    bool Connect(const char* from, const char* to, std::uint16_t port, int listener) {
        return Keep(ConnectFrom(from, to, port)) >= 0 &&
               Keep(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;
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
        for (int i = 0; i < 4; ++i) QVERIFY(Connect("127.0.0.3", "127.0.0.2", 8080, web));
        // The last client half closes: FIN-WAIT-2 on its side, CLOSE-WAIT on the server's.
        QVERIFY(shutdown(sockets_.end()[-2], SHUT_WR) == 0);
        QTRY_COMPARE(SsRows("-tan4").filter(QRegularExpression("^(FIN_WAIT2|CLOSE_WAIT) ")).size(),
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
        QVERIFY(Connect("::1", "::1", 9443, Keep(Listen("::1", 9443))));
        const int dual = Keep(Listen("::", 8443));
        for (int i = 0; i < 2; ++i) QVERIFY(Connect("127.0.0.3", "127.0.0.2", 8443, dual));
        const QStringList witness = SsRows("-tan");
        QCOMPARE(witness.size(), 4);
        QCOMPARE(Read(source), witness);
    }
};

QTEST_APPLESS_MAIN(KernelTableTest)
#include "test_snapshot_kernel.moc"
