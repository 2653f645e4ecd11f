// The core: the connection table's order, its parsers on tables recorded from a real kernel
// (tools/record_kernel_tables.py) and on broken input, the netlink reader against a socket pair
// that answers as the kernel would, its readers against the real kernel in a network namespace of
// the test's own (ss is the witness), the filter rules, the checks of the add-filter window, the
// refresh, the clipboard text and the remote host line.
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QtEndian>
#include <random>

#include "core/describe/remote_host_line.h"
#include "core/describe/service_line.h"
#include "core/describe/traffic_line.h"
#include "core/describe/units.h"
#include "core/list/clipboard_text.h"
#include "core/list/filters.h"
#include "core/list/refresh.h"
#include "core/names/host_lookup.h"
#include "core/table/netlink_reply.h"
#include "core/table/netlink_socket.h"
#include "core/table/proc_net_tcp.h"
#include "core/table/tcp_table.h"
#include "core/table/tcp_table_linux.h"
#include "tests/support/gate.h"
#include "tests/support/network_namespace.h"
#include "tests/support/rows.h"
#include "tests/support/ss_listing.h"

Q_DECLARE_METATYPE(std::optional<std::vector<TcpRow>>)
Q_DECLARE_METATYPE(TcpTable)

namespace {

QByteArray ReadData(const char* name) {
    QFile file(QStringLiteral(SOCKVIEW_TEST_DATA "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Where a message's header holds its length, type and flags, sequence number and port id, and
// where its payload starts, fixed by the kernel's interface; how long a socket's message and a
// dump's end are.
constexpr int Length = 0, TypeAndFlags = 4, Sequence = 8, PortId = 12, Payload = 16,
              Ports = Payload + offsetof(inet_diag_msg, id.idiag_sport), SocketMessage = 124,
              End = NLMSG_LENGTH(sizeof(int));

QByteArray Patched(QByteArray bytes, std::initializer_list<std::pair<int, int>> words) {
    for (const auto [at, value] : words) std::memcpy(bytes.data() + at, &value, sizeof value);
    return bytes;
}

// The messages of a recorded dump, whose file holds its sequence number and port id, then each
// datagram behind its length. The datagrams come back joined; no message straddles two.
QByteArray LoadDump(const char* name) {
    const QByteArray file = ReadData(name);
    const auto word = [&](qsizetype at) { return qFromUnaligned<quint32>(file.constData() + at); };
    QByteArray messages;
    for (qsizetype at = 8; at + 4 <= file.size(); at += 4 + word(at))
        messages += file.mid(at + 4, word(at));
    return messages;
}

// The table's rows as text, or why it could not be read.
QStringList TableTexts(const TcpTable& table) {
    return table.readable() ? RowTexts(table.rows) : QStringList{table.failure.c_str()};
}

// The table read over socket pairs whose other ends play the kernel, one pair a socket, in parts
// when given: each pair has queued the answers to its requests 1, 2, ... Each message answers its
// request, but one of sequence number 0, which answers none.
TcpTable DumpOverSocketPairs(QList<QByteArrayList> answers, std::span<const PortRange> parts = {}) {
    std::vector<int> kernelEnds;
    const auto open = [&] {
        int ends[2] = {-1, -1};
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends);
        const QByteArray recorded = LoadDump("inet_diag_tcp4.bin");
        NetlinkSocket netlink(ends[0], qFromUnaligned<quint32>(recorded.constData() + PortId));
        netlink.setReplyTimeout(std::chrono::milliseconds(50));
        QByteArrayList& queued = answers[static_cast<qsizetype>(kernelEnds.size())];
        for (int i = 0, left; i < queued.size(); ++i) {
            left = queued[i].size();
            for (auto* header = reinterpret_cast<nlmsghdr*>(queued[i].data());
                 NLMSG_OK(header, left); header = NLMSG_NEXT(header, left))
                if (header->nlmsg_seq != 0) header->nlmsg_seq = i + 1;
            send(ends[1], queued[i].data(), queued[i].size(), 0);
        }
        kernelEnds.push_back(ends[1]);
        return netlink;
    };
    TcpTable table = DumpTcpTableInParts(open, parts);
    for (const int end : kernelEnds) close(end);
    return table;
}

// The socket messages of recorded dumps whose higher port lies in the range, as the kernel
// answers the one walk, and an end.
QByteArray PartOf(const QByteArrayList& dumps, PortRange ports = {}) {
    QByteArray part, sockets = dumps.join();
    int left = sockets.size();
    for (auto* header = reinterpret_cast<nlmsghdr*>(sockets.data()); NLMSG_OK(header, left);
         header = NLMSG_NEXT(header, left)) {
        if (header->nlmsg_type == NLMSG_DONE) continue;
        const auto& id = static_cast<inet_diag_msg*>(NLMSG_DATA(header))->id;
        const auto higher =
            std::max(qFromBigEndian(id.idiag_sport), qFromBigEndian(id.idiag_dport));
        header->nlmsg_type = TCPDIAG_GETSOCK;
        if (higher >= ports.first && higher <= ports.last)
            part += QByteArray(reinterpret_cast<char*>(header), NLMSG_ALIGN(header->nlmsg_len));
    }
    return part + dumps[0].right(End);
}

}  // namespace

class TestCore : public QObject {
    Q_OBJECT
    // The messages of the recorded dumps, and ss's listing of the same moment.
    const QByteArray tcp4 = LoadDump("inet_diag_tcp4.bin"), tcp6 = LoadDump("inet_diag_tcp6.bin"),
                     walk = PartOf({tcp4, tcp6}),
                     refused = Patched(walk.left(SocketMessage),
                                       {{TypeAndFlags, NLMSG_ERROR}, {Payload, -EINVAL}});
    const QStringList recorded = RowTexts(RowsFromSsListing(ReadData("ss_tan.txt").toStdString()));

private slots:
    // The recorded tables hold a listener, 40 connections, a half-closed one (FIN-WAIT-2 and
    // CLOSE-WAIT), a TIME-WAIT, a listener on port 65535, a dual-stack listener on [::] with two
    // IPv4 clients, and an IPv6 connection; ss listed them at the same moment. Added to the /proc
    // tables: rows to drop, for a socket only bound, a line cut short, the listener 127.0.0.2:8080
    // (inode 87239) listed again apart from its first listing and once as ESTABLISHED (its state
    // changed during the read); a second listener on that port, which stays (also added to ss's
    // list); and tcp6 sockets with one end IPv4-mapped and the other plain IPv6 (::ffff:127.0.0.2
    // and ::1 as a little-endian host prints them).
    void recordedProcTablesMatchSs() {
        std::vector<TcpRow> proc;
        const auto line = [](const std::string& ends, const char* state,
                             const char* inode = "87239") {
            return "0: " + ends + state + " 00000000:00000000 00:00000000 00000000 0 0 " + inode +
                   '\n';
        };
        const std::string listener = "0200007F:1F90 00000000:0000 ",
                          mapped = "0000000000000000FFFF00000200007F:20FB ",
                          ipv6 = "00000000000000000000000001000000:B60D ";
        ParseProcNetTcp(ReadData("proc_net_tcp.txt").toStdString() +
                            line("0200007F:1F91 00000000:0000 ", "0D") +
                            line(listener, "0A", "99999") + line(listener, "01") +
                            line(listener, "0A") + listener + "0A 0",
                        ProcTcpFile::Tcp, proc);
        ParseProcNetTcp(ReadData("proc_net_tcp6.txt").toStdString() + line(mapped + ipv6, "01") +
                            line(ipv6 + mapped, "01"),
                        ProcTcpFile::Tcp6, proc);
        // Tables of 2048 rows or more take another sorting path: here 25 shuffled copies.
        std::vector<TcpRow> copies;
        for (int i = 0; i < 25; ++i) copies.insert(copies.end(), proc.begin(), proc.end());
        std::ranges::shuffle(copies, std::mt19937(7));
        const std::string ss =
            ReadData("ss_tan.txt").toStdString() + "LISTEN 0 64 127.0.0.2:8080 0.0.0.0:*\n";
        for (std::vector<TcpRow>* rows : {&proc, &copies}) {
            SortAndDropSocketsListedTwice(*rows);
            QCOMPARE(RowTexts(*rows), RowTexts(RowsFromSsListing(ss)));
        }
    }

    // Each case is what the kernel answers to a socket's requests: the recorded dumps of the IPv4
    // and IPv6 sockets, as one walk answers them or each family's dump after a refused walk, or
    // the walk's first socket message alone, changed.
    void kernelAnswers_data() {
        constexpr int interruptedType = TCPDIAG_GETSOCK | NLM_F_DUMP_INTR << 16;
        // `moved` has other ports: a row that no other answer lists.
        const QByteArray one = walk.left(SocketMessage), end = walk.right(End),
                         sockets = walk.chopped(End), moved = Patched(one, {{Ports, 0x01000100}}),
                         interrupted = Patched(moved, {{TypeAndFlags, interruptedType}}) + end;
        const auto failed = [](const char* why) { return QStringList{QString("netlink: ") + why}; };
        const QStringList malformed = failed("malformed inet_diag message"),
                          outOfBounds = failed("netlink message length out of bounds");
        QTest::addColumn<QByteArrayList>("answers");
        QTest::addColumn<QStringList>("table");
        const auto add = [](const char* name, const QByteArrayList& answers,
                            const QStringList& table) { QTest::newRow(name) << answers << table; };
        add("one walk", {walk}, recorded);
        add("walk refused, a dump of each family", {refused, tcp4, tcp6}, recorded);
        add("another request's message", {Patched(moved, {{Sequence, 0}}) + walk}, recorded);
        add("another sender's message", {Patched(moved, {{PortId, 0}}) + walk}, recorded);
        add("no IPv6 table, as if it were empty",
            {refused, tcp4, Patched(one, {{TypeAndFlags, NLMSG_ERROR}, {Payload, -ENOENT}})},
            TableTexts(DumpOverSocketPairs({{refused, tcp4, end}})));
        add("broken off", {Patched(one, {{TypeAndFlags, NLMSG_DONE}, {Payload, -ENOBUFS}})},
            failed("No buffer space available"));
        add("another request's type", {tcp4}, failed("unexpected netlink message type 20"));
        add("other family", {Patched(one, {{Payload, AF_UNIX}})}, malformed);
        add("socket message too short", {Patched(one, {{Length, Ports + 47}})}, malformed);
        add("length inside the header", {Patched(walk, {{Length, 8}})}, outOfBounds);
        add("interrupted, then whole", {interrupted, walk}, recorded);
        add("interrupted every time", {interrupted, interrupted, interrupted},
            failed("the table kept changing during the dump"));
        add("larger than the buffer", {sockets.repeated(4) + end}, recorded);
        add("cut inside a message", {sockets.chopped(1)}, outOfBounds);
        add("never ends", {sockets}, failed("the dump did not end"));
    }
    void kernelAnswers() {
        QFETCH(QByteArrayList, answers);
        QTEST(TableTexts(DumpOverSocketPairs({answers})), "table");
    }

    // Read in parts split at port 0, at 65535 and inside the run of 127.0.0.2:8080's sockets
    // (their clients' ports lie from 32895 to 60475), each part answered with the sockets of its
    // ports, the recorded tables come out as in one walk. A part refused both ways, though the
    // other is read, has the table read again whole.
    void partsMatchOneDump() {
        const PortRange parts[] = {{0, 0}, {1, 46000}, {46001, 65534}, {65535, 65535}};
        QList<QByteArrayList> answers;
        for (const PortRange& part : parts) answers.append({PartOf({tcp4, tcp6}, part)});
        QCOMPARE(TableTexts(DumpOverSocketPairs(answers, parts)), recorded);
        QCOMPARE(TableTexts(DumpOverSocketPairs({answers[1], {refused, refused}, {walk}},
                                                std::span(parts + 1, 2))),
                 recorded);
    }

    // The readers on a real kernel, in a namespace of the test's own, against ss: servers on low
    // ports, one on [::] (the kernel lists its IPv4 clients only among the IPv6 sockets, both
    // addresses mapped; it is no row itself, but its port counts as listening), and 5,000 clients
    // on ports the kernel picks: 10,000 sockets, read in parts that split the clients' ports and so
    // the servers' sockets too. Each way of reading gives the rows and ports of one dump of each
    // family; pinned to one CPU, the table is one part. A forged answer is passed over.
    void kernelTableMatchesSs() {
        SKIP_IF_REFUSED(EnterPrivateNetworkNamespace());
        const int servers[] = {Listen("127.0.0.2", 80), Listen("::", 443)};
        for (int i = 0; i < 5000; ++i)
            QVERIFY(ConnectFrom("127.0.0.3", "127.0.0.2", i % 2 ? 443 : 80) >= 0 &&
                    accept4(servers[i % 2], nullptr, nullptr, SOCK_CLOEXEC) >= 0);
        const QStringList witness = RowTexts(RowsFromSsListing(RunSs("-tan")));
        const PortRange parts[] = {{0, 0}, {1, 46000}, {46001, 65534}, {65535, 65535}};
        NetlinkSocket netlink;
        int opened = 0;
        const auto open = [&] { return ++opened, NetlinkSocket(); };
        for (const TableSource& source : std::initializer_list<TableSource>{
                 GetTcpTable, ReadNetlinkTcpTable, [&] { return DumpEachFamily(netlink); },
                 [&] { return DumpInOneWalk(netlink).value_or(TcpTable{}); },
                 [&] { return DumpTcpTableInParts(open, parts); }}) {
            const TcpTable table = source();
            QCOMPARE(TableTexts(table), witness);
            QCOMPARE(Refresh(table, std::nullopt, Filters{}).listeningPorts,
                     std::vector({PortField(80), PortField(443)}));
        }
        QCOMPARE(TableTexts(ReadProcTcpTable()), witness);
        QCOMPARE(opened, 4);
        cpu_set_t all, one{};
        sched_getaffinity(0, sizeof all, &all);
        CPU_SET(sched_getcpu(), &one);
        sched_setaffinity(0, sizeof one, &one);
        QCOMPARE(TableParts().size(), 1u);
        sched_setaffinity(0, sizeof all, &all);
        QCOMPARE(TableParts().size(), std::size_t(std::min(CPU_COUNT(&all), 4)));
        // Another process can send the socket a socket's message of its own, with the dump's
        // sequence number and port id: only the kernel's answer is read.
        NetlinkSocket asked;
        const QByteArray forged =
            Patched(walk.left(SocketMessage), {{Sequence, 1}, {PortId, int(asked.portId())}});
        const int forger = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
        const sockaddr_nl to{AF_NETLINK, 0, asked.portId(), 0};
        QCOMPARE(sendto(forger, forged.data(), forged.size(), 0,
                        reinterpret_cast<const sockaddr*>(&to), sizeof to),
                 forged.size());
        QCOMPARE(TableTexts(DumpTcpTable(asked)), witness);
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
        QTEST(!EntryRefusal(kind, entry.toStdString()), "accepted");
        Filters filters;
        filters.add(kind, entry.toStdString());
        QTEST(filters.hides(Row(TcpState::Listen, "10.0.0.5", 443, "10.0.0.9", 80)), "hidden");
    }

    // A refresh shows the rows no filter hides and marks those whose connection the previous
    // snapshot lacked, hidden ones included. Rows are named by their local port; 127.0.0.1 is
    // hidden by the initial filters.
    void refresh_data() {
        const auto shown = [](std::uint16_t port, std::uint32_t socket = 0) {
            return Row(5, "10.0.0.5", port, "1.0.0.1", 1, socket);
        };
        const TcpRow hidden = Row(5, "127.0.0.1", 2, "1.0.0.1", 1);
        using Rows = std::vector<TcpRow>;
        QTest::addColumn<std::optional<Rows>>("previous");  // nothing before the first snapshot
        QTest::addColumn<TcpTable>("table");
        QTest::addColumn<QString>("outcome");
        const auto add = [](const char* name, std::optional<Rows> previous, const TcpTable& table,
                            const char* outcome) {
            QTest::newRow(name) << previous << table << QString(outcome);
        };
        add("first snapshot", std::nullopt, {{shown(1), hidden}}, "1; 1 hidden; next 2");
        add("new rows after a hidden one, one to another remote port or address", Rows{shown(1)},
            {{Row(5, "0.0.0.0", 9, "1.0.0.1", 1), shown(1), Row(5, "10.0.0.5", 1, "1.0.0.1", 2),
              Row(5, "10.0.0.5", 1, "1.0.0.2", 1), shown(3)}},
            "1 1new 1new 3new; 1 hidden; next 5");
        add("a hidden row shown", Rows{hidden}, {{shown(2)}}, "2new; 0 hidden; next 1");
        add("removed rows", Rows{shown(1), shown(3), shown(4)}, {{shown(4)}},
            "4; 0 hidden; next 1");
        add("the same connection twice", Rows{shown(1)}, {{shown(1), shown(1), shown(4), shown(4)}},
            "1 1 4new 4new; 0 hidden; next 4");
        add("the same fields on another socket, or where one is not known",
            Rows{shown(1, 7), shown(2, 6), shown(3)}, {{shown(1, 8), shown(2), shown(3, 5)}},
            "1new 2 3; 0 hidden; next 3");
        add("unreadable: the previous snapshot stays", Rows{shown(1), shown(2)}, {{}, "refused"},
            "; 0 hidden; next 2");
    }
    void refresh() {
        QFETCH(std::optional<std::vector<TcpRow>>, previous);
        QFETCH(TcpTable, table);
        // The previous snapshot hid local port 2 as well, so that rows are compared both with
        // the rows it showed and with the keys of those it hid.
        Filters filtersBefore = Filters::initial();
        filtersBefore.add(FilterKind::LocalPort, "2");
        std::optional<std::vector<ConnectionKey>> before;
        if (previous) before = KeysOf(*Refresh({*previous, {}}, std::nullopt, filtersBefore).next);
        const RefreshResult result = Refresh(table, before, Filters::initial());
        QStringList shown;
        for (std::size_t i = 0; i < result.shown->size(); ++i)
            shown << QString::number(PortNumber((*result.shown)[i].localPort)) +
                         (result.isNew.at(i) ? "new" : "");
        const std::size_t next =
            result.next ? result.next->shown->size() + result.next->hidden.size() : 0;
        QTEST(QString("%1; %2 hidden; next %3").arg(shown.join(' ')).arg(result.hidden).arg(next),
              "outcome");
    }

    // The texts the program writes: the clipboard's, each chosen column's cell and a TAB, then CR
    // LF, for every row (a listener's remote port as 0, an unknown state as UNDEFINED, no rows
    // as no text); a remote host's name in ASCII, on one line, no longer than a real one; a row's
    // service and traffic, sizes and times at each unit's boundary. The server's end is a
    // listener's own port, or the local port this machine listens on, else the remote port.
    void texts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto add = [](const char* name, const std::string& text, const QString& expected) {
            QTest::newRow(name) << QString::fromStdString(text) << expected;
        };
        const ChosenColumns chosen{true, false, true, true, true};
        add("clipboard, and no rows as no text",
            *ClipboardText(chosen, std::vector{Row(5, "10.0.0.5", 443, "192.0.2.10", 80),
                                               Row(2, "10.0.0.5", 8080, "0.0.0.0", 51000),
                                               Row(0, "1.0.0.2", 1, "1.0.0.3", 2)}) +
                ClipboardText(chosen, {}).value_or("none"),
            "10.0.0.5\t192.0.2.10\t80\tESTAB\t\r\n10.0.0.5\t0.0.0.0\t0\tLISTEN\t\r\n"
            "1.0.0.2\t1.0.0.3\t2\tUNDEFINED\t\r\n");
        const auto host = [](const std::string& name) {
            return RemoteHostLine({HostAnswer::Kind::Named, name});
        };
        add("control and format characters", host("a\nRemote host: b\u202ec\u0085d"),
            "Remote host: a?Remote host: b?c?d");
        // IDNA maps first: one registered name, however it is written.
        for (const char* bucher : {"b\u00fccher", "bu\u0308cher", "B\u00dcCHER"})
            add(bucher, host(bucher + std::string(".example")),
                "Remote host: xn--bcher-kva.example");
        add("refused by IDNA", host("b\u00fccher\u2603.example"), "Remote host: b?cher?.example");
        add("longest", host(std::string(253, 'a')), "Remote host: " + QString(253, 'a'));
        add("too long", host(std::string(254, 'a')), "Remote host: " + QString(253, 'a') + "...");
        std::string sizes = SizeText(5ull << 40), durations;
        for (const std::uint64_t bytes : {0, 1023, 1024, 1536, 1048575, 1073741823})
            sizes += '|' + SizeText(bytes);
        add("sizes", sizes, "5120.0 GB|0 B|1023 B|1.0 KB|1.5 KB|1.0 MB|1.0 GB");
        for (const int ms : {999, 1000, 59999, 60000, 3599999, 3600000, 90000000})
            durations += DurationText(std::chrono::milliseconds(ms)) + '|';
        add("durations", durations, "999 ms|1 s|59 s|1 min|59 min|1 h|25 h|");
        const std::vector listening = {PortField(8443)};  // not the listener's own port
        const auto service = [&](const TcpRow& row) {
            return ServiceLine(std::optional<std::string>("s\u202e"), ServerPortOf(row, listening));
        };
        add("a listener's", service(Row(2, "0.0.0.0", 22, "0.0.0.0", 0)),
            "Service: s? (local port 22)");
        add("to a port this machine listens on", service(Row(5, "10.0.0.5", 8443, "10.0.0.9", 5)),
            "Service: s? (local port 8443)");
        const TcpRow established = Row(5, "10.0.0.5", 6, "10.0.0.9", 5);
        const auto traffic = [&](Traffic figures) {
            return TrafficLine(established, SocketNow{SocketNow::Kind::Seen, figures, {}});
        };
        add("no data yet",
            traffic({.roundTrip = std::chrono::microseconds(1500), .noDataYet = true}),
            "Traffic now: 0 B sent, 0 B received, no data yet, round trip 1.5 ms");
        add("counted since a moment, or before it",
            traffic({.bytesSent = 10, .countedSince = std::chrono::seconds(47109)}) + '|' +
                traffic({.countedSince = std::chrono::seconds(9), .countedSinceBefore = true}),
            "Traffic since 13:05:09: 10 B sent, 0 B received|"
            "Traffic since before 00:00:09: 0 B sent, 0 B received");
        add("gone", TrafficLine(established, SocketNow{}), "");
    }
    void texts() {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }

    // Lookups on demand with a resolver that never answers until it is let: twelve addresses
    // asked at once each read no name by the deadline (a lookup waited for in turn would make the
    // last wait three deadlines), eight lookups at most are left waiting, and their late answers
    // replace no name.
    void lookupsOnDemand() {
        const auto gate = std::make_shared<std::timed_mutex>();  // held, the lookups wait
        gate->lock();
        const auto calls = std::make_shared<std::atomic<int>>(0);
        constexpr auto deadline = std::chrono::milliseconds(500);
        const HostNames names(
            [=](const Ipv4Address& address) -> std::optional<std::string> {
                ++*calls;
                Pass(*gate);
                return "host" + std::to_string(address[3]);
            },
            std::nullopt, {4, 4, deadline, std::chrono::minutes(10), 64}, {});
        const auto lines = [&] {
            QStringList lines;
            for (std::uint8_t host = 1; host <= 12; ++host)
                lines << RemoteHostLine(HostAnswerOf(names.answerFor({10, 0, 0, host}))).c_str();
            return lines.join('|').remove("Remote host: ");
        };
        QElapsedTimer asked;
        asked.start();
        QCOMPARE(lines(), QStringList(12, "looking up...").join('|'));
        QTRY_COMPARE(lines(), QStringList(12, "no name").join('|'));
        QCOMPARE_LT(asked.elapsed(), (2 * deadline).count());
        QTRY_COMPARE(*calls, 8);
        gate->unlock();
        QTRY_COMPARE(lines(),
                     "host1|host2|host3|host4|host5|host6|host7|host8|host9|host10|host11|host12");

        // The address asked last is looked up first, one asked again while it waits before the
        // others; answers are kept for a few addresses at most, the oldest going first, and for a
        // while; a lookup that throws answers as none.
        const auto order = std::make_shared<std::vector<int>>();
        const auto orderLock = std::make_shared<std::mutex>();
        const auto lookup = [=](const Ipv4Address& address) -> std::optional<std::string> {
            (std::lock_guard(*orderLock), order->push_back(address[3]));
            if (address[3] == 1) Pass(*gate);
            if (address[3] == 4) throw 0;
            return std::nullopt;
        };
        const auto answered = [](const HostNames& names, std::uint8_t host) {
            return names.answerFor({10, 0, 0, host}).has_value();
        };
        LookupLimits limits{1, 0, std::chrono::seconds(20), std::chrono::minutes(10), 4};
        const HostNames newestFirst(lookup, std::nullopt, limits, {});
        gate->lock();
        answered(newestFirst, 1);
        QTRY_VERIFY([&] { return (std::lock_guard(*orderLock), order->size() == 1); }());
        for (const std::uint8_t host : {2, 3, 5, 2}) answered(newestFirst, host);
        gate->unlock();
        QTRY_VERIFY(answered(newestFirst, 2) && answered(newestFirst, 3) &&
                    answered(newestFirst, 5));
        QCOMPARE(*order, std::vector({1, 2, 5, 3}));
        answered(newestFirst, 4);
        QVERIFY(!answered(newestFirst, 1));
        QTRY_VERIFY(answered(newestFirst, 4));  // its lookup threw
        limits.kept = std::chrono::milliseconds(100);
        const HostNames briefly(lookup, std::nullopt, limits, {});
        // Asked again and again, as QTRY would not: each question after the expiry asks anew.
        QVERIFY(QTest::qWaitFor([&] { return answered(briefly, 2); }));
        QVERIFY(QTest::qWaitFor([&] { return !answered(briefly, 2); }));

        // A lookup whose key was dropped still counts against the bound, until its deadline strands
        // it and the next key is looked up; its answer, come at last, is dropped for that of a
        // newer lookup of its key.
        using Text = std::shared_ptr<const std::string>;
        const auto oldText = std::make_shared<Text>(std::make_shared<const std::string>("old"));
        const std::weak_ptr<const std::string> oldAnswer = *oldText;
        const auto lookups = std::make_shared<std::atomic<int>>(0);
        gate->lock();
        const LookupsOnDemand<int, Text> dropped(
            [=](int) {
                if (++*lookups > 1) return std::make_shared<const std::string>("new");
                Pass(*gate);
                return std::exchange(*oldText, nullptr);
            },
            nullptr, {1, 1, deadline, std::chrono::minutes(10), 1}, {});
        const auto text = [&](int key) {
            const std::optional<Text> answer = dropped.answerFor(key);
            return QString::fromStdString(!answer ? "not yet" : *answer ? **answer : "none");
        };
        text(1);
        QTRY_COMPARE(*lookups, 1);
        QTRY_COMPARE(text(2), "new");
        QTRY_COMPARE(text(1), "new");
        gate->unlock();
        QTRY_VERIFY(oldAnswer.expired());
        QCOMPARE(text(1), "new");
    }
};

QTEST_APPLESS_MAIN(TestCore)
#include "test_core.moc"
