// The core: the connection table's order, its parsers on tables recorded from a real kernel
// (tools/record_kernel_tables.py) and on broken input, its readers against the real kernel in a
// network namespace of the test's own (ss is the witness), the filter rules, the checks of the
// add-filter window, the refresh and the clipboard text.
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QTest>
#include <QtEndian>
#include <random>

#include "core/clipboard_text.h"
#include "core/filters.h"
#include "core/input_checks.h"
#include "core/netlink_reply.h"
#include "core/proc_net_tcp.h"
#include "core/refresh.h"
#include "core/row_text.h"
#include "core/tcp_table.h"
#include "core/tcp_table_linux.h"
#include "tests/support/network_namespace.h"
#include "tests/support/rows.h"
#include "tests/support/ss_listing.h"

Q_DECLARE_METATYPE(std::vector<TcpRow>)
Q_DECLARE_METATYPE(std::optional<std::vector<TcpRow>>)
Q_DECLARE_METATYPE(TcpTable)

namespace {

QByteArray ReadData(const char* name) {
    QFile file(QStringLiteral(SOCKVIEW_TEST_DATA "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Patched(QByteArray bytes, std::initializer_list<std::pair<int, int>> words) {
    for (const auto [at, value] : words) std::memcpy(bytes.data() + at, &value, sizeof value);
    return bytes;
}

// A parse as one line: how it ended, the rows read, and the kernel's errno.
QString Parse(const QByteArray& datagram, const DumpIdentity& id, std::vector<TcpRow>& rows) {
    const auto result =
        ParseInetDiagDatagram(std::as_bytes(std::span(datagram.data(), datagram.size())), id, rows);
    return QString::asprintf("%s %zu %s", std::array{"more", "done", "failed"}[int(result.status)],
                             rows.size(),
                             result.kernelError ? strerrorname_np(result.kernelError) : "0");
}

// A recorded dump: its sequence number and port id, then each datagram behind its length.
// The datagrams come back joined; no message straddles two.
std::pair<DumpIdentity, QByteArray> LoadDump(const char* name, std::uint8_t family) {
    const QByteArray file = ReadData(name);
    const auto word = [&](qsizetype at) { return qFromUnaligned<quint32>(file.constData() + at); };
    if (file.size() < 8) return {};
    std::pair<DumpIdentity, QByteArray> dump{{family, word(0), word(4)}, {}};
    for (qsizetype at = 8; at + 4 <= file.size(); at += 4 + word(at))
        dump.second += file.mid(at + 4, word(at));
    return dump;
}

}  // namespace

class TestCore : public QObject {
    Q_OBJECT

private slots:
    // The recorded tables hold a listener, 40 connections, a half-closed one (FIN-WAIT-2 and
    // CLOSE-WAIT), a TIME-WAIT, a listener on port 65535, a dual-stack listener on [::] with two
    // IPv4 clients, and an IPv6 connection; ss listed them at the same moment. Added to the /proc
    // tables: rows to drop, for a socket only bound, a listener listed twice, a line cut short,
    // and tcp6 sockets with one end IPv4-mapped and the other plain IPv6 (::ffff:127.0.0.2 and
    // ::1 as a little-endian host prints them).
    void recordedTablesMatchSs() {
        const auto witness = RowTexts(RowsFromSsListing(ReadData("ss_tan.txt").toStdString()));
        std::vector<TcpRow> netlink, proc;
        for (const auto& [id, bytes] :
             {LoadDump("inet_diag_tcp4.bin", AF_INET), LoadDump("inet_diag_tcp6.bin", AF_INET6)})
            QVERIFY(Parse(bytes, id, netlink).startsWith("done"));
        const std::string mapped = "0000000000000000FFFF00000200007F:20FB ",
                          ipv6 = "00000000000000000000000001000000:B60D ";
        ParseProcNetTcp(ReadData("proc_net_tcp.txt").toStdString() +
                            "0: 0200007F:1F91 00000000:0000 0D\n1: 0200007F:1F90 00000000:0000 0A\n"
                            "2: 0200007F:1F90 00000000:0000 0",
                        ProcTcpFile::Tcp, proc);
        ParseProcNetTcp(ReadData("proc_net_tcp6.txt").toStdString() + "0: " + mapped + ipv6 +
                            "01\n1: " + ipv6 + mapped + "01\n",
                        ProcTcpFile::Tcp6, proc);
        // Tables of 2048 rows or more take another sorting path: here 25 shuffled copies.
        std::vector<TcpRow> copies;
        for (int i = 0; i < 25; ++i) copies.insert(copies.end(), netlink.begin(), netlink.end());
        std::ranges::shuffle(copies, std::mt19937(7));
        for (std::vector<TcpRow>* rows : {&netlink, &proc, &copies}) {
            SortAndDropSocketsListedTwice(*rows);
            QCOMPARE(RowTexts(*rows), witness);
        }
    }

    // Each case changes the first datagram of the recorded IPv4 dump (30 socket messages of 124
    // bytes, no end yet) or its first message alone. The outcome: how the parse ended, the rows
    // read, and the kernel's errno.
    void brokenNetlinkDatagram_data() {
        const auto [id, bytes] = LoadDump("inet_diag_tcp4.bin", AF_INET);
        constexpr int message = 124, length = offsetof(nlmsghdr, nlmsg_len),
                      typeAndFlags = offsetof(nlmsghdr, nlmsg_type),
                      sequence = offsetof(nlmsghdr, nlmsg_seq),
                      portId = offsetof(nlmsghdr, nlmsg_pid), payload = sizeof(nlmsghdr),
                      socketMessage = payload + sizeof(inet_diag_msg);
        const QByteArray first = bytes.left(30 * message), one = first.left(message);
        const int interrupted = SOCK_DIAG_BY_FAMILY | (NLM_F_MULTI | NLM_F_DUMP_INTR) << 16;
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("other sequence")
            << Patched(first, {{sequence, id.sequence + 1}}) << "more 29 0";
        QTest::newRow("second sent as from the kernel")
            << Patched(first, {{message + portId, 0}}) << "more 29 0";
        QTest::newRow("refused") << Patched(one, {{typeAndFlags, NLMSG_ERROR}, {payload, -EPERM}})
                                 << "failed 0 EPERM";
        QTest::newRow("broken off")
            << Patched(one, {{typeAndFlags, NLMSG_DONE}, {payload, -ENOBUFS}})
            << "failed 0 ENOBUFS";
        QTest::newRow("second interrupted")
            << Patched(first, {{message + typeAndFlags, interrupted}}) << "failed 1 0";
        QTest::newRow("other family") << Patched(one, {{payload, AF_INET6}}) << "failed 0 0";
        QTest::newRow("socket message too short")
            << Patched(one, {{length, socketMessage - 1}}) << "failed 0 0";
        QTest::newRow("length inside the header") << Patched(first, {{length, 8}}) << "failed 0 0";
    }
    void brokenNetlinkDatagram() {
        QFETCH(QByteArray, datagram);
        std::vector<TcpRow> rows;
        QTEST(Parse(datagram, LoadDump("inet_diag_tcp4.bin", AF_INET).first, rows), "outcome");
    }

    // Wherever a dump is cut, the rows read are those of the whole messages in front of the cut,
    // and the dump is not done.
    void everyCutFailsCleanly() {
        const auto [id, whole] = LoadDump("inet_diag_tcp6.bin", AF_INET6);
        std::vector<TcpRow> all;
        QVERIFY(Parse(whole, id, all).startsWith("done"));
        for (qsizetype cut = 1; cut < whole.size(); ++cut) {
            std::vector<TcpRow> rows;
            QVERIFY(!Parse(whole.left(cut), id, rows).startsWith("done"));
            QVERIFY(rows.size() <= all.size() &&
                    std::equal(rows.begin(), rows.end(), all.begin(), SameConnection));
        }
    }

    // The three readers in an empty namespace, with a listener, and a listener on [::] with an
    // IPv4 client: the kernel lists the server's end of that connection only among the IPv6
    // sockets, with both addresses mapped. The [::] listener itself does not show.
    void kernelTableMatchesSs() {
        std::string why;
        REQUIRE_OR_SKIP(EnterPrivateNetworkNamespace(&why), why);
        const int sockets[] = {Listen("127.0.0.2", 8080), Listen("::", 8443),
                               ConnectFrom("127.0.0.3", "127.0.0.2", 8443)};
        const QStringList witness = RowTexts(RowsFromSsListing(RunSs("-tan")));
        QCOMPARE(witness.size(), 3);
        for (const auto source : {ReadNetlinkTcpTable, ReadProcTcpTable, GetTcpTable}) {
            const TcpTable table = source();
            QCOMPARE(table.readable() ? RowTexts(table.rows) : QStringList{table.failure.c_str()},
                     witness);
        }
        for (const int socket : sockets) close(socket);
    }

    // An entry that could never match a connection is refused; one that is accepted hides the
    // connections it names: here a listener on 10.0.0.5:443 whose remote end the kernel gives as
    // 10.0.0.9:80 (the list shows its remote port as 0).
    void filterEntries_data() {
        QTest::addColumn<FilterKind>("kind");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("hidden");
        const auto add = [](FilterKind kind, bool accepted, bool hidden,
                            std::initializer_list<const char*> entries) {
            for (const char* entry : entries)
                QTest::addRow("%s %s", KindWord(kind).data(), entry)
                    << kind << QString(entry) << accepted << hidden;
        };
        using enum FilterKind;
        add(LocalAddress, true, true, {"10.0.0.5"});
        add(LocalAddress, true, false, {"10.0.0.9", "255.0.0.255"});
        add(LocalAddress, false, false,
            {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", "010.0.0.5", "10.0.0.5a"});
        add(RemoteAddress, true, true, {"10.0.0.9"});
        add(LocalPort, true, true, {"443"});
        add(LocalPort, true, false, {"80", "65535"});
        add(RemotePort, true, true, {"080", "80.0"});
        add(RemotePort, false, false, {"65536", ".", "80.5", "80a"});
    }
    void filterEntries() {
        QFETCH(FilterKind, kind);
        QFETCH(QString, entry);
        const std::string value = entry.toStdString();
        QTEST(!EntryRefusal(kind, value), "accepted");
        Filters filters;
        filters.Add(kind, value);
        QTEST(filters.Hides(Row(TcpState::Listen, "10.0.0.5", 443, "10.0.0.9", 80)), "hidden");
    }

    // A refresh shows the rows no filter hides and marks those whose connection the previous
    // snapshot lacked, hidden ones included. Rows are named by their local port; 127.0.0.1 is
    // hidden by the initial filters.
    void refresh_data() {
        const auto shown = [](std::uint16_t port) {
            return Row(5, "10.0.0.5", port, "1.0.0.1", 1);
        };
        const auto hidden = [](std::uint16_t port) {
            return Row(5, "127.0.0.1", port, "1.0.0.1", 1);
        };
        using Rows = std::vector<TcpRow>;
        QTest::addColumn<std::optional<Rows>>("previous");  // nothing before the first snapshot
        QTest::addColumn<TcpTable>("table");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("first snapshot")
            << std::optional<Rows>() << TcpTable{{shown(1), hidden(2)}, {}}
            << "1; 1 hidden; next 2";
        QTest::newRow("a new row after a hidden one")
            << std::optional(Rows{shown(1)})
            << TcpTable{{Row(5, "0.0.0.0", 9, "1.0.0.1", 1), shown(1), shown(3)}, {}}
            << "1 3new; 1 hidden; next 3";
        QTest::newRow("a new row hidden")
            << std::optional(Rows{shown(1)}) << TcpTable{{shown(1), hidden(2)}, {}}
            << "1; 1 hidden; next 2";
        QTest::newRow("a hidden row shown") << std::optional(Rows{hidden(2)})
                                            << TcpTable{{shown(2)}, {}} << "2new; 0 hidden; next 1";
        QTest::newRow("removed rows") << std::optional(Rows{shown(1), shown(2), shown(3)})
                                      << TcpTable{{shown(2)}, {}} << "2; 0 hidden; next 1";
        QTest::newRow("the same connection twice")
            << std::optional(Rows{shown(1)})
            << TcpTable{{shown(1), shown(1), shown(4), shown(4)}, {}}
            << "1 1 4new 4new; 0 hidden; next 4";
        QTest::newRow("unreadable: the previous snapshot stays")
            << std::optional(Rows{shown(1), shown(2)}) << TcpTable{{}, "refused"}
            << "; 0 hidden; next 2";
    }
    void refresh() {
        QFETCH(std::optional<std::vector<TcpRow>>, previous);
        QFETCH(TcpTable, table);
        SnapshotKeys keys;
        if (previous) keys = Refresh({*previous, {}}, std::nullopt, Filters()).nextKeys;
        const RefreshResult result = Refresh(table, keys, Filters::Initial());
        QStringList shown;
        for (std::size_t i = 0; i < result.shown.size(); ++i)
            shown << QString::number(PortNumber(result.shown[i].localPort)) +
                         (result.isNew.at(i) ? "new" : "");
        QCOMPARE(result.newShown, std::size_t(shown.filter("new").size()));
        QTEST(QString("%1; %2 hidden; next %3")
                  .arg(shown.join(' '))
                  .arg(result.hidden)
                  .arg(result.nextKeys ? result.nextKeys->size() : 0),
              "outcome");
    }

    // Each chosen column's cell and a TAB, then CR LF, for every row; a listener's remote port
    // shows as 0, an unknown state as UNDEFINED.
    void clipboardText_data() {
        QTest::addColumn<std::vector<TcpRow>>("rows");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("all but the local port")
            << std::vector{Row(5, "10.0.0.5", 443, "192.0.2.10", 80),
                           Row(2, "10.0.0.5", 8080, "0.0.0.0", 51000),
                           Row(0, "1.0.0.2", 1, "1.0.0.3", 2)}
            << QByteArray(
                   "10.0.0.5\t192.0.2.10\t80\tESTAB\t\r\n10.0.0.5\t0.0.0.0\t0\tLISTEN\t\r\n"
                   "1.0.0.2\t1.0.0.3\t2\tUNDEFINED\t\r\n");
        QTest::newRow("no rows") << std::vector<TcpRow>{} << QByteArray("");
    }
    void clipboardText() {
        QFETCH(std::vector<TcpRow>, rows);
        const auto text = ClipboardText({true, false, true, true, true}, rows);
        QTEST(QByteArray::fromStdString(text.value_or("no text")), "text");
    }
};

QTEST_APPLESS_MAIN(TestCore)
#include "test_core.moc"
