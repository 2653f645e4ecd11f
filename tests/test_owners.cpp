// Who holds each connection: every owner text, from process tables made by hand, each case about
// one row with the index built for that row alone; then as the look at the real processes finds
// it, loopback listeners in a network namespace of the test's own held by child processes that
// the test names, in the ways only the kernel can show (a forked holder, a user dropped, a main
// thread gone). The remote host's name from the system's resolver, a connection's service and
// traffic, and a listener's queue, at the moment asked.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QtTest>
#include <functional>
#include <thread>

#include "core/describe/owner_lines.h"
#include "core/describe/queue_line.h"
#include "core/describe/remote_host_line.h"
#include "core/describe/service_line.h"
#include "core/describe/traffic_line.h"
#include "core/list/filters.h"
#include "core/list/refresh.h"
#include "core/names/host_lookup.h"
#include "core/names/service_lookup.h"
#include "core/owners/socket_owner.h"
#include "core/table/socket_now.h"
#include "core/table/tcp_table.h"
#include "tests/support/network_namespace.h"
#include "tests/support/rows.h"

Q_DECLARE_METATYPE(ProcessTable)
Q_DECLARE_METATYPE(TcpRow)

namespace {
// A connection to 127.0.0.2:80 (or `local`:80) from 10.0.0.9:5000.
TcpRow Connection(std::uint32_t socket, std::uint8_t state = TcpState::Established,
                  const char* local = "127.0.0.2", std::uint32_t uid = 0) {
    return Row(state, local, 80, "10.0.0.9", 5000, socket, uid);
}

// Listeners on port 80 (one on 81), held by the processes named after where they listen.
ProcessTable Listening(std::vector<Listener> listeners) {
    const std::vector<ProcessTable::Process> holders = {{11, 0, "exact", "root", {1}, "/srv/e"},
                                                        {12, 0, "any", "root", {2}, "/srv/a"},
                                                        {13, 0, "dual", "root", {3}, "/srv/d"},
                                                        {14, 0, "port 81", "root", {4}, "/srv/p"}};
    return {holders, false, NoSocket::QueuedOrClosing, std::move(listeners), {}, {}};
}

bool BecomeNobody() { return setgid(65534) == 0 && setuid(65534) == 0; }

// A child process named `name` that runs `setUp` and tells the test what it returned (negative
// when it failed), then stays until the test ends, or with endMainThread only its other threads
// do. The child's id, or -1.
pid_t Start(const char* name, const std::function<int()>& setUp, int* told = nullptr,
            bool endMainThread = false) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_NAME, name);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int value = setUp();
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // a change of user cleared it
        if (value < 0 || write(ready[1], &value, sizeof value) != sizeof value) _exit(1);
        if (endMainThread) syscall(SYS_exit, 0);
        for (;;) pause();
    }
    close(ready[1]);
    int value = -1;
    const bool started = pid > 0 && read(ready[0], &value, sizeof value) == sizeof value;
    close(ready[0]);
    if (told != nullptr) *told = value;
    return started ? pid : -1;
}

}  // namespace

class TestOwners : public QObject {
    Q_OBJECT
private slots:
    void ownerTexts_data() {
        QTest::addColumn<ProcessTable>("table");
        QTest::addColumn<TcpRow>("row");
        QTest::addColumn<QString>("text");
        const auto add = [](const char* name, const ProcessTable& table, const TcpRow& row,
                            const QString& text) { QTest::newRow(name) << table << row << text; };
        const ProcessTable one{{{10, 0, "sshd", "root", {5, 7}}}};
        add("closed", one, Connection(9), "No process: closed since the last refresh");
        add("no inode, closing", one, Connection(0, TcpState::TimeWait),
            "No process: the connection is closing");
        ProcessTable shared{{{30, 0, "b", "alice", {7}, "/b"},
                             {20, 0, "a", "bob", {7, 8, 7}, "/usr/bin/a (deleted)"},
                             {40, 0, "c", "alice", {7}, "/c"},
                             {50, 0, "d", "carol", {8}, "/d"}}};
        for (std::uint32_t pid = 1; pid <= 4; ++pid)
            shared.processes.push_back({pid, 0, "w", "w", {7}, pid == 2 ? "" : "/usr/bin/w"});
        add("lowest PID first, at most five, each user and program once", shared, Connection(7),
            "Process: w (PID 1)\nProcess: w (PID 2)\nProcess: w (PID 3)\nProcess: w (PID 4)\n"
            "Process: a (PID 20)\nand 2 more\nProgram: /usr/bin/w\nProgram: /usr/bin/a (deleted)"
            "\nUser: w, bob, alice");
        // Each control and format character, and each byte of invalid UTF-8, shows as "?": no name
        // can forge a line, reorder the text around it or hide; other characters stay.
        for (const auto& [kind, name, shown] : std::initializer_list<std::array<const char*, 3>>{
                 {"C0, DEL, C1, separators", "a\nUser: b\x7f\u009b\u2028\u2029", "a?User: b????"},
                 {"format: override, isolate, zero-width, byte-order mark, soft hyphen",
                  "\u202ea\u2066b\u2069c\u200bd\u200de\u2060f\ufeffg\u00adh", "?a?b?c?d?e?f?g?h"},
                 {"invalid UTF-8", "b\xff\xe0\x80\xae\xed\xa0\x80", "b???????"},
                 {"letters that stay", "\u00e9t\u00e9\u00a0\u05d0x", "\u00e9t\u00e9\u00a0\u05d0x"}})
            QTest::addRow("name: %s", kind)
                << ProcessTable{{{10, 0, name, "e\x1b", {7}, name}}} << Connection(7)
                << QString("Process: %1 (PID 10)\nProgram: %1\nUser: e?").arg(shown);
        ProcessTable hidden{{{10, 0, "sshd", "root", {7}}}, true};
        hidden.rowUsers = {{0, "root"}, {1000, "alice"}};
        add("hidden: the socket's user", hidden,
            Connection(9, TcpState::Established, "127.0.0.2", 1000),
            "Process: not visible without administrator rights\nUser: alice");
        add("hidden processes, a holder seen, its program not", hidden, Connection(7),
            "Process: sshd (PID 10)\nProgram: not visible without administrator rights\n"
            "User: root");
        const Listener exact{Address("127.0.0.2"), PortField(80), 1, false},
            any{{}, PortField(80), 2, false}, dual{{}, PortField(80), 3, true},
            port81{Address("127.0.0.3"), PortField(81), 4, false};
        add("queued: the listener on that address", Listening({dual, any, exact, port81}),
            Connection(0, TcpState::SynReceived),
            "Process: not yet accepted by exact (PID 11)\nProgram: /srv/e");
        add("queued: else the one on 0.0.0.0", Listening({dual, any, exact}),
            Connection(0, TcpState::CloseWait, "127.0.0.3"),
            "Process: not yet accepted by any (PID 12)\nProgram: /srv/a");
        add("queued: else the dual-stack one", Listening({dual, port81}),
            Connection(0, TcpState::Established, "127.0.0.3"),
            "Process: not yet accepted by dual (PID 13)\nProgram: /srv/d");
        add("queued: no listener known", Listening({port81}), Connection(0),
            "Process: not yet accepted");
        // Windows: 0 is the idle process's ID, which holds closing connections; elsewhere (Wine:
        // a program outside Wine) the holder is not visible.
        ProcessTable windows{
            {{4242, 0, "app.exe", "", {4242}, "C:\\app.exe"}}, false, NoSocket::ClosingOrUnseen};
        add("Windows: held, its user unreadable", windows, Connection(4242),
            "Process: app.exe (PID 4242)\nProgram: C:\\app.exe");
        add("Windows: PID 0 closing", windows, Connection(0, TcpState::CloseWait),
            "No process: the connection is closing");
        add("Windows: PID 0 established", windows, Connection(0),
            "Process: not visible without administrator rights");
    }
    void ownerTexts() {
        QFETCH(ProcessTable, table);
        QFETCH(TcpRow, row);
        const OwnerIndex index(table, {row});
        QTEST(QString::fromStdString(OwnerLines(&index, row)), "text");
    }

    // Each listener has a local address of its own, 127.0.0.N; its text starts with N.
    void tooltipsTellTheHolders() {
        SKIP_IF_REFUSED(EnterPrivateNetworkNamespace());
        // Opens a listener as root, then turns into nobody.
        const pid_t switched = Start(
            "switched", [] { return Listen("127.0.0.5", 7003) >= 0 && BecomeNobody() ? 0 : -1; });
        SKIP_IF_REFUSED(switched > 0 ? "" : "cannot become the user nobody");
        int forked = 0;
        const pid_t forker = Start(
            "holder-a",
            [] { return Listen("127.0.0.4", 7002) < 0 ? -1 : Start("holder-b", [] { return 0; }); },
            &forked);
        // Its other thread pauses with no signal handler: it never returns.
        const pid_t threadHeld = Start(
            "thread-held", [] { return std::thread(pause).detach(), Listen("127.0.0.8", 7006); },
            nullptr, true);
        // Once its main thread has exited, a process lists no descriptors of its own.
        QTRY_VERIFY(QDir(QString("/proc/%1/fd").arg(threadHeld)).isEmpty());

        const TcpTable table = GetTcpTable();
        std::stop_source stopped;
        stopped.request_stop();
        QVERIFY(SystemOwnerLookup()(table.rows, stopped.get_token()) == nullptr);
        const auto throws = []() -> std::shared_ptr<const OwnerIndex> { throw 0; };
        QCOMPARE(OwnerLines(IndexOrFailure(throws).get(), table.rows.at(0)),
                 "Process: unknown (unknown failure)");
        const auto index = SystemOwnerLookup()(table.rows, std::stop_token{});
        QStringList texts;
        for (const TcpRow& row : table.rows)
            texts << QString::number(row.localAddress[3]) + ' ' +
                         QString::fromStdString(OwnerLines(index.get(), row));
        // Every holder is this program, forked.
        const QString program = "Program: " + QCoreApplication::applicationFilePath() + "\nUser: ";
        const auto held = [](const char* name, pid_t pid) {
            return QString("Process: %1 (PID %2)\n").arg(name).arg(pid);
        };
        QString forkedHolders = held("holder-a", forker) + held("holder-b", forked);
        if (forked < forker) forkedHolders = held("holder-b", forked) + held("holder-a", forker);
        QCOMPARE(texts, QStringList({"4 " + forkedHolders + program + "root",
                                     "5 " + held("switched", switched) + program + "nobody",
                                     "8 " + held("thread-held", threadHeld) + program + "root"}));
    }

    // What the system itself tells, at the moment asked. From its services database and the
    // kernel: a connection to port 443 over which a known number of bytes went, then its client's
    // FIN, each end's service and figures, an idle connection, and two listeners sharing port 22
    // with connections they have not accepted. From its
    // resolver: a name from a hosts file of the test's own; for an address missing there, the
    // question goes to a name server that takes it and never answers, and the row reads no name
    // by the deadline, though the resolver waits twice as long.
    void whatTheSystemTells() {
        SKIP_IF_REFUSED(EnterPrivateNetworkNamespace());
        const int silent = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const sockaddr_in server{AF_INET, htons(53), {htonl(0x7F000035)}, {}};  // 127.0.0.53
        QCOMPARE(bind(silent, reinterpret_cast<const sockaddr*>(&server), sizeof server), 0);
        SKIP_IF_REFUSED(EnterPrivateFiles(
            {{"/etc/services", "ssh 22/tcp\nhttps 443/tcp\n"},
             {"/etc/hosts", "127.0.0.3 peer.sockview.test\n"},
             {"/etc/nsswitch.conf", "hosts: files dns\nservices: files\n"},
             {"/etc/resolv.conf", "nameserver 127.0.0.53\noptions timeout:5\n"}}));
        const char* nscd = "nscd would answer from the machine's own files";
        SKIP_IF_REFUSED(access("/run/nscd/socket", F_OK) != 0 ? "" : nscd);
        const HostNames names(SystemHostLookup(), std::nullopt, HostNameLimits, {});
        const auto line = [&](const char* remote) {
            return RemoteHostLine(HostAnswerOf(names.answerFor(Address(remote))));
        };
        QElapsedTimer asked;
        asked.start();
        line("127.0.0.4");

        const int web = Listen("127.0.0.2", 443),
                  ssh[] = {Listen("127.0.0.3", 22), Listen("127.0.0.3", 22)};
        for (int i = 0; i < 4; ++i) ConnectFrom("127.0.0.4", "127.0.0.3", 22);
        const int client = ConnectFrom("127.0.0.5", "127.0.0.2", 443),
                  accepted = accept(web, nullptr, nullptr);
        ConnectFrom("127.0.0.6", "127.0.0.2", 443);  // idle
        const std::string bytes(70001, 'x');
        std::string read(bytes.size(), '\0');
        QCOMPARE(send(client, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
        QCOMPARE(recv(accepted, read.data(), read.size(), MSG_WAITALL), ssize_t(bytes.size()));
        shutdown(client, SHUT_WR);  // a FIN is no data: FIN-WAIT-2 here, CLOSE-WAIT there
        const RefreshResult listed = Refresh(GetTcpTable(), std::nullopt, Filters{});
        const SocketLookup lookAtSocket = SystemSocketLookup();
        const auto text = [&](const char* local, const char* remote) {
            const TcpRow row = *std::ranges::find_if(*listed.shown, [&](const TcpRow& row) {
                return row.localAddress == Address(local) && row.remoteAddress == Address(remote);
            });
            const ServerPort end = ServerPortOf(row, listed.listeningPorts);
            const SocketNow now = lookAtSocket(row);
            const Traffic traffic = now.traffic.value_or(Traffic{});
            return QString::fromStdString(ServiceLine(SystemServiceLookup()(end.port), end) + '|' +
                                          QueueLine(now) + '|' + std::to_string(traffic.bytesSent) +
                                          " sent, " + std::to_string(traffic.bytesReceived) +
                                          " received" +
                                          (traffic.noDataYet       ? ", no data yet"
                                           : traffic.sinceLastData ? ", last data"
                                                                   : ""));
        };
        QTRY_COMPARE(text("127.0.0.5", "127.0.0.2"),
                     "Service: https (remote port 443)||70001 sent, 0 received, last data");
        QCOMPARE(text("127.0.0.2", "127.0.0.5"),
                 "Service: https (local port 443)||0 sent, 70001 received, last data");
        QCOMPARE(text("127.0.0.6", "127.0.0.2"),
                 "Service: https (remote port 443)||0 sent, 0 received, no data yet");
        // Listeners that share a port each tell their own queue, as the kernel counts it.
        QStringList queues, counted;
        for (const TcpRow& row : *listed.shown)
            if (row.state == TcpState::Listen && row.localPort == PortField(22))
                queues << QString::fromStdString(QueueLine(lookAtSocket(row)));
        for (const int listener : ssh) {
            tcp_info info{};
            socklen_t size = sizeof info;
            getsockopt(listener, IPPROTO_TCP, TCP_INFO, &info, &size);
            counted << QString("Waiting to be accepted: %1 of at most 64").arg(info.tcpi_unacked);
        }
        queues.sort(), counted.sort();
        QCOMPARE(queues, counted);
        // The listener's fields, another socket's key: a socket since closed, its ports taken.
        QCOMPARE(lookAtSocket(Row(TcpState::Listen, "127.0.0.2", 443, "0.0.0.0", 0, 1)),
                 SocketNow{});

        QTRY_COMPARE_WITH_TIMEOUT(
            QString::fromStdString(line("127.0.0.3") + '|' + line("127.0.0.4")),
            "Remote host: peer.sockview.test|Remote host: no name", 10'000);
        QCOMPARE_LT(asked.elapsed(), 9'000);
        QVERIFY(recv(silent, nullptr, 0, MSG_DONTWAIT | MSG_TRUNC) > 0);  // it was asked
    }
};

QTEST_MAIN(TestOwners)
#include "test_owners.moc"
