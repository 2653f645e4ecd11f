// Decoders, state mapping, sort order, and the parsers of the Linux table sources on tables
// recorded from a real kernel (tests/data/record_kernel_tables.py) and on broken input.
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <sys/socket.h>

#include <QFile>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <random>

#include "netlink_reply.h"
#include "proc_net_tcp.h"
#include "ss_listing.h"
#include "tests/recording_desktop.h"

namespace {

QByteArray ReadData(const char* name) {
    QFile file(QStringLiteral(SOCKVIEW_TEST_DATA "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t Word(const QByteArray& bytes, qsizetype at) {
    std::uint32_t value = 0;
    if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.constData() + at, 4);
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
    const char* const ends[] = {"more", "done", "failed"};
    return QString("%1 %2 %3 %4")
        .arg(ends[int(result.status)], QString::number(rows.size()),
             QString::number(result.kernelError), QString::fromStdString(result.failure))
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

class SnapshotTest : public QObject {
    Q_OBJECT

private slots:
    // Linux numbers its states from ESTABLISHED (1) to NEW_SYN_RECV (12) and BOUND_INACTIVE.
    void linuxStates() {
        QList<int> codes;
        for (unsigned state : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 255})
            codes << StateCodeFromLinux(state);
        QCOMPARE(codes, QList<int>({0, 5, 3, 4, 6, 7, 11, 1, 8, 10, 2, 9, 4, 0, 0}));
    }

    // Also the row texts: a state out of range, a port's two unread bytes set.
    void platformOrder() {
        std::vector<TcpRow> rows = {
            Row(13, "200.0.0.1", 80, "10.0.0.1", 1),         Row(5, "10.0.0.1", 256, "0.0.0.0", 0),
            Row(5, "10.0.0.1", 255, "9.9.9.9", 9),           Row(5, "10.0.0.1", 255, "9.9.9.9", 8),
            Row(2, "10.0.0.1", 255, "9.9.9.9", 8),  // the same connection again
            Row(5, "10.0.0.1", 255, "8.255.255.255", 65535),
        };
        rows[3].remotePort[2] = rows[3].remotePort[3] = 0xFF;
        SortIntoPlatformOrder(rows);
        QCOMPARE(
            RowTexts(rows),
            QStringList({"ESTAB 10.0.0.1:255 8.255.255.255:65535", "ESTAB 10.0.0.1:255 9.9.9.9:8",
                         "ESTAB 10.0.0.1:255 9.9.9.9:9", "ESTAB 10.0.0.1:256 0.0.0.0:0",
                         "UNDEFINED 200.0.0.1:80 10.0.0.1:1"}));
    }

    // Large tables take another sorting path, with the same result.
    void largeTableOrder() {
        std::mt19937 random(7);
        const auto pick = [&](unsigned choices, int shift) { return random() % choices << shift; };
        std::vector<TcpRow> rows(20000);  // few values per field, so ties and duplicates abound
        for (TcpRow& row : rows)
            row = {int(pick(12, 0) + 1), AddressField(pick(3, 24) | pick(3, 0)),
                   PortField(pick(3, 8) | pick(3, 0)), AddressField(pick(3, 16) | pick(3, 0)),
                   PortField(pick(5, 0))};
        std::vector<TcpRow> reference = rows;
        std::stable_sort(reference.begin(), reference.end(), PlatformOrder);
        reference.erase(std::unique(reference.begin(), reference.end(), SameConnection),
                        reference.end());
        SortIntoPlatformOrder(rows);
        QCOMPARE(RowTexts(rows), RowTexts(reference));
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

    // Each case changes the first datagram of the recorded IPv4 dump: 30 sockets, no end yet.
    // The outcome reads: how the parse ended, the rows read, the kernel's errno, why it failed.
    void brokenNetlinkDatagram_data() {
        const auto [id, bytes] = LoadDump("inet_diag_tcp4.bin", AF_INET);
        const QByteArray first = bytes.left(3720);
        const int second = 124;  // where the second message starts
        const QString malformed = "failed 0 0 malformed inet_diag message";
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("no end yet") << first << "more 30 0";
        QTest::newRow("other sequence, then done")
            << Patched(first, 8, id.sequence + 1) + Message(NLMSG_DONE, id, 0) << "done 29 0";
        QTest::newRow("sent as from the kernel, not to us")
            << Patched(first, second + 12, 0) << "more 29 0";
        QTest::newRow("refused") << first.left(second) + Message(NLMSG_ERROR, id, -EPERM, 20)
                                 << QString("failed 1 %1 Operation not permitted").arg(EPERM);
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

    // Wherever a datagram is cut, the rows read are those of the whole messages in front of the
    // cut, and the dump is not done.
    void everyCutFailsCleanly() {
        const auto [id, whole] = LoadDump("inet_diag_tcp6.bin", AF_INET6);
        std::vector<TcpRow> all;
        QVERIFY(Parse(whole, id, all).startsWith("done"));
        for (qsizetype cut = 1; cut < whole.size(); ++cut) {
            std::vector<TcpRow> rows;
            QVERIFY(!Parse(whole.left(cut), id, rows).startsWith("done"));
            QVERIFY(rows.size() <= all.size());
            QVERIFY(std::equal(rows.begin(), rows.end(), all.begin(), SameConnection));
        }
    }

    // Broken tcp lines, a socket only bound, and tcp6 sockets with one end IPv4-mapped and the
    // other plain IPv6 (as a little-endian host prints ::ffff:127.0.0.2 and ::1); the recorded
    // tables cover the rest of tcp6.
    void procLines() {
        const std::string mapped = "0000000000000000FFFF00000200007F:20FB ",
                          ipv6 = "00000000000000000000000001000000:B60D ";
        std::vector<TcpRow> rows;
        ParseProcNetTcp("0: " + mapped + ipv6 + "01\n1: " + ipv6 + mapped + "01\n",
                        ProcTcpFile::Tcp6, rows);
        ParseProcNetTcp(
            "   0: 200007F:1F90 00000000:0000 0A\n"    // address too short
            "   1: 0200007F:1F90 00000000:0000 0A0\n"  // state too long
            "   2: 0200007F:1F90 00000000:0000\n"
            "   3 0200007F:1F90 00000000:0000 0A\n"
            "   4: 0200007F:1F91 00000000:0000 0D\n"  // only bound
            "   5: 0200007F:1F90 00000000:0000 01 00000000:00000000 00:00000000\n",
            ProcTcpFile::Tcp, rows);
        QCOMPARE(RowTexts(rows), QStringList{"ESTAB 127.0.0.2:8080 0.0.0.0:0"});
    }
};

QTEST_APPLESS_MAIN(SnapshotTest)
#include "test_snapshot.moc"
