// Who holds each connection as the look at the real processes finds it: loopback listeners in a
// network namespace of the test's own, held by child processes that the test names, in the ways
// only the kernel can show (a forked holder, a user dropped, a main thread gone); the remote
// host's name, from the system's resolver.
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QtTest>
#include <functional>
#include <thread>

#include "core/list/filters.h"
#include "core/list/refresh.h"
#include "core/list/traffic_text.h"
#include "core/names/host_lookup.h"
#include "core/names/remote_host.h"
#include "core/names/service_line.h"
#include "core/names/service_lookup.h"
#include "core/owners/socket_owner.h"
#include "core/table/socket_now.h"
#include "core/table/tcp_table.h"
#include "tests/support/network_namespace.h"
#include "tests/support/rows.h"

namespace {

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
        const pid_t threadHeld = Start(
            "thread-held",
            [] {
                std::thread(pause).detach();  // no signal handler: it never returns
                return Listen("127.0.0.8", 7006);
            },
            nullptr, true);
        // Once its main thread has exited, a process lists no descriptors of its own.
        QTRY_VERIFY(QDir(QString("/proc/%1/fd").arg(threadHeld)).isEmpty());

        const TcpTable table = GetTcpTable();
        std::stop_source stopped;
        stopped.request_stop();
        QVERIFY(SystemOwnerLookup()(table.rows, stopped.get_token()) == nullptr);
        const auto index = SystemOwnerLookup()(table.rows, std::stop_token{});
        QStringList texts;
        for (const TcpRow& row : table.rows)
            texts << QString::number(row.localAddress[3]) + ' ' +
                         QString::fromStdString(OwnerText(index.get(), row, false));
        // Every holder is this program, forked.
        const QString program = "Program: " + QCoreApplication::applicationFilePath() + "\nUser: ";
        const auto held = [](const char* name, pid_t pid) {
            return QString("Process: %1 (PID %2)\n").arg(name).arg(pid);
        };
        const auto [low, high] = std::minmax(forker, forked);
        const QString forkedHolders = low == forker
                                          ? held("holder-a", low) + held("holder-b", high)
                                          : held("holder-b", low) + held("holder-a", high);
        QCOMPARE(texts, QStringList({"4 " + forkedHolders + program + "root",
                                     "5 " + held("switched", switched) + program + "nobody",
                                     "8 " + held("thread-held", threadHeld) + program + "root"}));
    }

    // Of real sockets, from the system's services database and the kernel at the moment asked: a
    // connection to port 443 over which a known number of bytes went, each end's service and
    // figures, and a listener on port 22 with connections it has not accepted.
    void servicesTrafficAndQueues() {
        SKIP_IF_REFUSED(EnterPrivateNetworkNamespace());
        SKIP_IF_REFUSED(EnterPrivateFiles({{"/etc/services", "ssh 22/tcp\nhttps 443/tcp\n"},
                                           {"/etc/nsswitch.conf", "services: files\n"}}));
        const int web = Listen("127.0.0.2", 443), ssh = Listen("127.0.0.3", 22),
                  waiting[] = {ConnectFrom("127.0.0.4", "127.0.0.3", 22),
                               ConnectFrom("127.0.0.4", "127.0.0.3", 22)},
                  client = ConnectFrom("127.0.0.5", "127.0.0.2", 443),
                  server = accept(web, nullptr, nullptr);
        const std::string bytes(70001, 'x');
        std::string read(bytes.size(), '\0');
        QCOMPARE(send(client, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
        QCOMPARE(recv(server, read.data(), read.size(), MSG_WAITALL), ssize_t(bytes.size()));

        const RefreshResult listed = Refresh(GetTcpTable(), std::nullopt, Filters{});
        const auto text = [&](const char* local, std::uint8_t state = TcpState::Established) {
            const TcpRow row = *std::ranges::find_if(*listed.shown, [&](const TcpRow& row) {
                return row.localAddress == Address(local) && row.state == state;
            });
            const ServerPort end = ServerPortOf(row, listed.listeningPorts);
            const SocketNow now = LookAtSocketNow(row);
            const Traffic traffic = now.traffic.value_or(Traffic{});
            return QString::fromStdString(ServiceLine(SystemServiceLookup()(end.port), end) + '|' +
                                          QueueLine(now)) +
                   QString("|%1 sent, %2 received")
                       .arg(traffic.bytesSent)
                       .arg(traffic.bytesReceived);
        };
        QTRY_COMPARE(text("127.0.0.5"), "Service: https (remote port 443)||70001 sent, 0 received");
        QCOMPARE(text("127.0.0.2"), "Service: https (local port 443)||0 sent, 70001 received");
        QCOMPARE(text("127.0.0.3", TcpState::Listen),
                 "Service: ssh (local port 22)|Waiting to be accepted: 2 of at most 64|0 sent, 0 "
                 "received");
        for (const int socket : {web, ssh, waiting[0], waiting[1], client, server}) close(socket);
    }

    // The system's resolver names a remote host from a hosts file of the test's own; for an
    // address missing there it asks a name server that takes the question and never answers, and
    // the row reads no name by the deadline, though the resolver waits twice as long.
    void remoteHostsNamedByTheResolver() {
        SKIP_IF_REFUSED(EnterPrivateNetworkNamespace());
        const int silent = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const sockaddr_in server{AF_INET, htons(53), {htonl(0x7F000035)}, {}};  // 127.0.0.53
        QCOMPARE(bind(silent, reinterpret_cast<const sockaddr*>(&server), sizeof server), 0);
        SKIP_IF_REFUSED(EnterPrivateFiles(
            {{"/etc/hosts", "127.0.0.3 peer.sockview.test\n"},
             {"/etc/nsswitch.conf", "hosts: files dns\n"},
             {"/etc/resolv.conf", "nameserver 127.0.0.53\noptions timeout:5\n"}}));
        const char* nscd = "nscd would answer from the machine's own hosts file";
        SKIP_IF_REFUSED(access("/run/nscd/socket", F_OK) != 0 ? "" : nscd);
        const HostNames names(SystemHostLookup(), std::nullopt, HostNameLimits, {});
        const auto line = [&](const char* remote) {
            return RemoteHostLine(HostAnswerOf(names.answerFor(Address(remote))));
        };
        QElapsedTimer asked;
        asked.start();
        QTRY_COMPARE_WITH_TIMEOUT(
            QString::fromStdString(line("127.0.0.3") + '|' + line("127.0.0.4")),
            "Remote host: peer.sockview.test|Remote host: no name", 10'000);
        QCOMPARE_LT(asked.elapsed(), 9'000);
        char question[512];
        QVERIFY(recv(silent, question, sizeof question, MSG_DONTWAIT) > 0);  // it was asked
        close(silent);
    }
};

QTEST_MAIN(TestOwners)
#include "test_owners.moc"
