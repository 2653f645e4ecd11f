// Who holds each connection as its tooltip tells it, and which connections are new: real
// loopback connections in a network namespace of the test's own, held by child processes that
// the test names. And which repeated rows a table keeps.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>
#include <fstream>
#include <functional>
#include <thread>

#include "core/socket_owner.h"
#include "core/tcp_table.h"
#include "tests/support/network_namespace.h"
#include "tests/support/rows.h"

Q_DECLARE_METATYPE(std::vector<TcpRow>)

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

// The tooltip of `row` from a look that the user nobody takes.
QString AskedAsNobody(const TcpRow& row) {
    int answer[2];
    if (pipe(answer) != 0) return "no pipe";
    const pid_t asker = fork();
    if (asker == 0) {
        const std::string text = BecomeNobody()
                                     ? OwnerText(SystemOwnerLookup()({}, {}).get(), row, false)
                                     : std::string("not nobody");
        _exit(write(answer[1], text.data(), text.size()) > 0 ? 0 : 1);
    }
    close(answer[1]);
    char text[256] = {};
    const bool told = read(answer[0], text, sizeof text - 1) > 0;
    close(answer[0]);
    waitpid(asker, nullptr, 0);
    return told ? text : "no answer";
}

// The main thread's state letter in /proc/<pid>/stat ("Z" once it has exited).
std::string MainThreadState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string id, name, state;
    stat >> id >> name >> state;
    return state;
}

}  // namespace

class TestOwners : public QObject {
    Q_OBJECT
private slots:
    // Each row of interest has a local address of its own, 127.0.0.N; the case starts with N.
    void tooltipsTellTheHolders() {
        std::string why;
        REQUIRE_OR_SKIP(EnterPrivateNetworkNamespace(&why), why);
        prctl(PR_SET_NAME, "owners-test");
        // Opens one listener as root, then turns into nobody and opens another.
        const pid_t switched = Start("switched", [] {
            return Listen("127.0.0.5", 7003) >= 0 && BecomeNobody() &&
                           prctl(PR_SET_DUMPABLE, 0) == 0
                       ? Listen("127.0.0.6", 7004)
                       : -1;
        });
        REQUIRE_OR_SKIP(switched > 0, std::string("cannot become the user nobody"));
        int forked = 0;
        const pid_t queueOwner = Start("queue-owner", [] { return Listen("::", 7001); });
        const pid_t forker = Start(
            "holder-a",
            [] { return Listen("127.0.0.4", 7002) < 0 ? -1 : Start("holder-b", [] { return 0; }); },
            &forked);
        const pid_t newline = Start("a\nUser: mallory", [] { return Listen("127.0.0.7", 7005); });
        // U+0085 (a control character) and U+2028, which breaks a line too.
        const pid_t unicode = Start("c\u0085l\u2028s", [] { return Listen("127.0.0.12", 7009); });
        const pid_t threadHeld = Start(
            "thread-held",
            [] {
                std::thread([] {
                    for (;;) pause();
                }).detach();
                return Listen("127.0.0.8", 7006);
            },
            nullptr, true);
        QVERIFY(queueOwner > 0 && forker > 0 && newline > 0 && unicode > 0 && threadHeld > 0);
        QTRY_VERIFY(MainThreadState(threadHeld) == "Z");
        const int closedLater = Listen("127.0.0.9", 7007);
        QVERIFY(ConnectFrom("127.0.0.3", "127.0.0.2", 7001) >= 0);  // never accepted
        QVERIFY(Listen("127.0.0.11", 7008) >= 0);
        const int first = ConnectFrom("127.0.0.10", "127.0.0.11", 7008, 40000);
        std::vector<ConnectionKey> previous;
        for (const TcpRow& row : GetTcpTable().rows) previous.push_back(KeyOf(row));
        // Reset, so that no TIME-WAIT keeps the fields, and connected again on them.
        const linger reset{1, 0};
        setsockopt(first, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        close(first);
        QVERIFY(ConnectFrom("127.0.0.10", "127.0.0.11", 7008, 40000) >= 0);

        const TcpTable table = GetTcpTable();
        const std::vector<bool> isNew = NewConnections(previous, table.rows);
        close(closedLater);
        const auto look = SystemOwnerLookup()({}, std::stop_token{});
        QStringList texts;
        for (const int n : {2, 4, 5, 6, 7, 8, 9, 10, 12}) {
            QString text = QString::number(n);
            for (std::size_t i = 0; i < table.rows.size(); ++i) {
                if (table.rows[i].localAddress != Ipv4Address{127, 0, 0, std::uint8_t(n)}) continue;
                text += ' ' + (n == 6 ? AskedAsNobody(table.rows[i])
                                      : QString::fromStdString(
                                            OwnerText(look.get(), table.rows[i], isNew[i])));
            }
            texts << text;
        }
        const QString holder = "Process: %1 (PID %2)";
        const auto [low, high] = std::minmax(forker, forked);
        QCOMPARE(
            texts,
            QStringList({
                "2 Process: not yet accepted by queue-owner (PID " + QString::number(queueOwner) +
                    ")",
                "4 " + holder.arg(low == forker ? "holder-a" : "holder-b").arg(low) + "\n" +
                    holder.arg(low == forker ? "holder-b" : "holder-a").arg(high) + "\nUser: root",
                "5 " + holder.arg("switched").arg(switched) + "\nUser: nobody",
                "6 Process: not visible without administrator rights\nUser: nobody",
                "7 " + holder.arg("a?User: mallory").arg(newline) + "\nUser: root",
                "8 " + holder.arg("thread-held").arg(threadHeld) + "\nUser: root",
                "9 No process: closed since the last refresh",
                "10 New since the last refresh\n" + holder.arg("owners-test").arg(getpid()) +
                    "\nUser: root",
                "12 " + holder.arg("c?l?s").arg(unicode) + "\nUser: root",
            }));
    }

    // Sockets that share their fields stay apart; a socket listed twice is kept once.
    void repeatsOfOneSocketAreDropped_data() {
        QTest::addColumn<std::vector<TcpRow>>("rows");
        QTest::addColumn<QString>("kept");
        const auto socket = [](std::uint8_t state, std::uint32_t inode) {
            TcpRow row = Row(state, "127.0.0.2", 80, "0.0.0.0", 0);
            row.socket = inode;
            return row;
        };
        const std::uint8_t listen = TcpState::Listen, established = TcpState::Established;
        QTest::newRow("listeners on one port, a repeat apart from its first")
            << std::vector{socket(listen, 7), socket(listen, 8), socket(listen, 7)} << "7 8";
        // The socket changed state while the dump went on.
        QTest::newRow("one socket in two states")
            << std::vector{socket(established, 7), socket(TcpState::CloseWait, 7)} << "7";
    }
    void repeatsOfOneSocketAreDropped() {
        QFETCH(std::vector<TcpRow>, rows);
        SortAndDropSocketsListedTwice(rows);
        QStringList kept;
        for (const TcpRow& row : rows) kept << QString::number(row.socket);
        QTEST(kept.join(' '), "kept");
    }
};

QTEST_MAIN(TestOwners)
#include "test_owners.moc"
