// The core: the connection table's order, its parsers on tables recorded from a real kernel
// (tools/record_kernel_tables.py) and on broken input, its readers against the real kernel in a
// network namespace of the test's own (ss is the witness), the filter rules, the checks of the
// add-filter window and the clipboard text.
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QTest>
#include <random>

#include "Module1.h"
#include "Module2.h"
#include "clipboard_text.h"
#include "input_checks.h"
#include "netlink_reply.h"
#include "network_namespace.h"
#include "proc_net_tcp.h"
#include "recording_desktop.h"
#include "ss_listing.h"
#include "tcp_table.h"
#include "tcp_table_linux.h"

using Source = TcpTable (*)();
Q_DECLARE_METATYPE(Source)
Q_DECLARE_METATYPE(std::vector<TcpRow>)

namespace {

QByteArray ReadData(const char* name) {
    QFile file(QStringLiteral(SOCKVIEW_TEST_DATA "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t Word(const QByteArray& bytes, qsizetype at) {
    std::uint32_t value = 0;
    if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.constData() + at, sizeof value);
    return value;
}

QByteArray Patched(QByteArray bytes, qsizetype at, std::uint32_t value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
    return bytes;
}

// A parse as one line: how it ended, the rows read, the kernel's errno, why it failed.
QString Parse(const QByteArray& datagram, const DumpIdentity& id, std::vector<TcpRow>& rows) {
    const auto result =
        ParseInetDiagDatagram(std::as_bytes(std::span(datagram.data(), datagram.size())), id, rows);
    return QString("%1 %2 %3 %4")
        .arg(QStringList{"more", "done", "failed"}[int(result.status)])
        .arg(rows.size())
        .arg(result.kernelError)
        .arg(QString::fromStdString(result.failure))
        .trimmed();
}

// A recorded dump: its sequence number and port id, then each datagram behind its length.
// The datagrams come back joined; no message straddles two.
std::pair<DumpIdentity, QByteArray> LoadDump(const char* name, std::uint8_t family) {
    const QByteArray file = ReadData(name);
    std::pair<DumpIdentity, QByteArray> dump{{family, Word(file, 0), Word(file, 4)}, {}};
    for (qsizetype at = 8; at + 4 <= file.size(); at += 4 + Word(file, at))
        dump.second += file.mid(at + 4, Word(file, at));
    return dump;
}

QByteArray Message(std::uint16_t type, const DumpIdentity& id, int value, qsizetype size = 4) {
    const nlmsghdr header{std::uint32_t(sizeof header + size), type, NLM_F_MULTI, id.sequence,
                          id.portId};
    QByteArray payload(size, 0);
    std::memcpy(payload.data(), &value, std::min<std::size_t>(size, sizeof value));
    return QByteArray(reinterpret_cast<const char*>(&header), sizeof header) + payload;
}

}  // namespace

class TestCore : public QObject {
    Q_OBJECT

private slots:
    // Small tables are sorted by comparison, large ones by radix; both keep the first of rows
    // naming the same connection. Few values per field, so ties and duplicates abound, some
    // bytes above 127, and junk in the ports' unused halves.
    void platformOrder() {
        std::mt19937 random(7);
        const auto byte = [&] { return std::uint8_t(random() % 3 * 127); };
        std::vector<TcpRow> rows(20000);
        for (TcpRow& row : rows)
            row = {int(random() % 13),
                   {byte(), 0, 0, byte()},
                   {byte(), byte(), byte(), byte()},
                   {byte(), 0, 0, byte()},
                   {byte(), byte(), byte(), byte()}};
        const auto key = [](const TcpRow& r) {
            return std::tuple(r.localAddress, PortNumber(r.localPort), r.remoteAddress,
                              PortNumber(r.remotePort));
        };
        for (const std::size_t size : {1000, 20000}) {
            std::vector<TcpRow> sorted(rows.begin(), rows.begin() + size), reference = sorted;
            SortIntoPlatformOrder(sorted);
            std::ranges::stable_sort(reference, std::less{}, key);
            const auto same = [&](const TcpRow& a, const TcpRow& b) { return key(a) == key(b); };
            reference.erase(std::unique(reference.begin(), reference.end(), same), reference.end());
            QCOMPARE(RowTexts(sorted), RowTexts(reference));
        }
    }

    // The recorded tables hold a listener, 40 connections, a half-closed one (FIN-WAIT-2 and
    // CLOSE-WAIT), a TIME-WAIT, a listener on port 65535, a dual-stack listener on [::] with two
    // IPv4 clients, and an IPv6 connection; ss listed them at the same moment.
    void recordedTablesMatchSs() {
        const auto witness = RowTexts(RowsFromSsListing(ReadData("ss_tan.txt").toStdString()));
        QCOMPARE(witness.size(), 89);
        std::vector<TcpRow> netlink, proc;
        for (const auto& [id, bytes] :
             {LoadDump("inet_diag_tcp4.bin", AF_INET), LoadDump("inet_diag_tcp6.bin", AF_INET6)})
            QVERIFY(Parse(bytes, id, netlink).startsWith("done"));
        ParseProcNetTcp(ReadData("proc_net_tcp.txt").toStdString(), ProcTcpFile::Tcp, proc);
        ParseProcNetTcp(ReadData("proc_net_tcp6.txt").toStdString(), ProcTcpFile::Tcp6, proc);
        SortIntoPlatformOrder(netlink);
        SortIntoPlatformOrder(proc);
        QCOMPARE(RowTexts(netlink), witness);
        QCOMPARE(RowTexts(proc), witness);
    }

    // Each case changes the first datagram of the recorded IPv4 dump (30 sockets, no end yet) or
    // stands in for it.
    void brokenNetlinkDatagram_data() {
        const auto [id, bytes] = LoadDump("inet_diag_tcp4.bin", AF_INET);
        const QByteArray first = bytes.left(3720);
        const int second = 124;  // where the second message starts
        const QString malformed = "failed 0 0 malformed inet_diag message";
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("other sequence, then done")
            << Patched(first, 8, id.sequence + 1) + Message(NLMSG_DONE, id, 0) << "done 29 0";
        QTest::newRow("sent as from the kernel, not to us")
            << Patched(first, second + 12, 0) << "more 29 0";
        QTest::newRow("refused") << Message(NLMSG_ERROR, id, -EPERM, 20)
                                 << QString("failed 0 %1 Operation not permitted").arg(EPERM);
        QTest::newRow("dump broken off in the kernel")
            << Message(NLMSG_DONE, id, -ENOBUFS)
            << QString("failed 0 %1 No buffer space available").arg(ENOBUFS);
        QTest::newRow("interrupted")
            << Patched(first, second + 4, Word(first, second + 4) | NLM_F_DUMP_INTR << 16)
            << "failed 1 0 the connection table changed during the dump";
        QTest::newRow("socket of the other family")
            << Patched(first.left(second), 16, AF_INET6) << malformed;
        QTest::newRow("socket message too short")
            << Message(SOCK_DIAG_BY_FAMILY, id, 0, 71) << malformed;
        QTest::newRow("length inside the header")
            << Patched(first, 0, 8) << "failed 0 0 netlink message length out of bounds";
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

    // Broken tcp lines and a socket that is only bound are skipped, and so are tcp6 sockets with
    // only one end IPv4-mapped (as a little-endian host prints ::ffff:127.0.0.2 and ::1).
    void procLines() {
        const std::string mapped = "0000000000000000FFFF00000200007F:20FB ",
                          ipv6 = "00000000000000000000000001000000:B60D ";
        std::vector<TcpRow> rows;
        ParseProcNetTcp("0: " + mapped + ipv6 + "01\n1: " + ipv6 + mapped + "01\n",
                        ProcTcpFile::Tcp6, rows);
        ParseProcNetTcp(
            "0: 200007F:1F90 00000000:0000 0A\n"    // address too short
            "1: 0200007F:1F90 00000000:0000 0A0\n"  // state too long
            "2: 0200007F:1F91 00000000:0000 0D\n"   // only bound
            "3: 0200007F:1F90 00000000:0000 01 00000000:00000000 00:00000000\n",
            ProcTcpFile::Tcp, rows);
        QCOMPARE(RowTexts(rows), QStringList{"ESTAB 127.0.0.2:8080 0.0.0.0:0"});
    }

    // The readers in an empty namespace: a listener with a client, and a listener on [::] with an
    // IPv4 client (the kernel lists the server's end of that only among the IPv6 sockets, with
    // both addresses mapped). Neither that listener nor an IPv6 connection shows.
    void kernelTableMatchesSs_data() {
        QTest::addColumn<Source>("source");
        QTest::newRow("netlink") << Source(ReadNetlinkTcpTable);
        QTest::newRow("/proc") << Source(ReadProcTcpTable);
        QTest::newRow("GetTcpTable") << Source(GetTcpTable);
    }
    void kernelTableMatchesSs() {
        QFETCH(Source, source);
        std::string why;
        if (!EnterPrivateNetworkNamespace(&why)) {
            if (qgetenv("CI") == "true") QFAIL(why.c_str());
            QSKIP(why.c_str());
        }
        std::vector<int> sockets = {Listen("127.0.0.2", 8080), Listen("::", 8443),
                                    Listen("::1", 9443)};
        for (const auto& [from, to, port, listener] :
             {std::tuple("127.0.0.3", "127.0.0.2", 8080, 0),
              {"127.0.0.3", "127.0.0.2", 8443, 1},
              {"::1", "::1", 9443, 2}}) {
            sockets.push_back(ConnectFrom(from, to, port));
            sockets.push_back(accept4(sockets[listener], nullptr, nullptr, 0));
        }
        const TcpTable table = source();
        const QStringList witness = RowTexts(RowsFromSsListing(RunSs("-tan")));
        for (const int socket : sockets) close(socket);
        QVERIFY(std::ranges::find(sockets, -1) == sockets.end());
        QCOMPARE(witness.size(), 5);
        QCOMPARE(table.readable() ? RowTexts(table.rows) : QStringList{table.failure.c_str()},
                 witness);
    }

    // Each entry alone, against a connection from 10.0.0.5:443 to 10.0.0.9:80.
    void isFiltered_data() {
        QTest::addColumn<FilterKind>("kind");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("hidden");
        const auto add = [](const char* name, FilterKind kind, const char* entry, bool hidden,
                            int state = TcpState::Established) {
            QTest::newRow(name) << kind << QString(entry) << state << hidden;
        };
        add("local address", FilterKinds::LocalIP, "10.0.0.5", true);
        add("local address on the remote side", FilterKinds::LocalIP, "10.0.0.9", false);
        add("remote address", FilterKinds::RemoteIP, "10.0.0.9", true);
        add("local port", FilterKinds::LocalPort, "443", true);
        add("local port on the remote side", FilterKinds::LocalPort, "80", false);
        add("remote port with a leading zero", FilterKinds::RemotePort, "080", true);
        add("remote port with a zero fraction", FilterKinds::RemotePort, "80.0", true);
        add("remote port with a fraction", FilterKinds::RemotePort, "80.5", false);
        // A listener's remote port shows as 0, but its own field is what is filtered.
        add("listener's remote port", FilterKinds::RemotePort, "80", true, TcpState::Listen);
    }
    void isFiltered() {
        QFETCH(FilterKind, kind);
        QFETCH(QString, entry);
        QFETCH(int, state);
        LocalIPList = LocalPortList = RemoteIPList = RemotePortList = {};
        AddFilter(kind, entry.toStdString());
        QTEST(IsFiltered(Row(state, "10.0.0.5", 443, "10.0.0.9", 80)), "hidden");
    }

    // Connections are shown without leading zeros and ports are whole numbers up to 65535, so
    // an entry that could never match is refused.
    void valueChecks_data() {
        QTest::addColumn<bool>("address");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("accepted");
        const auto add = [](bool address, bool accepted,
                            std::initializer_list<const char*> values) {
            for (const char* value : values)
                QTest::addRow("%s %s", address ? "address" : "port", value)
                    << address << QString(value) << accepted;
        };
        add(true, true, {"255.0.0.255"});
        add(true, false, {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", "010.0.0.1", "1.2.3.4a"});
        add(false, true, {"65535", "080", "80.0"});
        add(false, false, {"65536", ".", "8.5", "80a"});
    }
    void valueChecks() {
        QFETCH(bool, address);
        QFETCH(QString, value);
        QTEST(!(address ? AddressRefusal(value.toStdString()) : PortRefusal(value.toStdString())),
              "accepted");
    }

    // Each chosen column's cell and a TAB, then CR LF, for every row; a listener's remote port
    // shows as 0, an unknown state as UNDEFINED.
    void clipboardText_data() {
        QTest::addColumn<std::vector<TcpRow>>("rows");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("all but the local port")
            << std::vector{Row(5, "10.0.0.5", 443, "192.0.2.10", 80),
                           Row(2, "10.0.0.5", 8080, "0.0.0.0", 51000),
                           Row(0, "127.0.0.2", 1, "127.0.0.3", 2)}
            << QByteArray(
                   "10.0.0.5\t192.0.2.10\t80\tESTAB\t\r\n10.0.0.5\t0.0.0.0\t0\tLISTEN\t\r\n"
                   "127.0.0.2\t127.0.0.3\t2\tUNDEFINED\t\r\n");
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
