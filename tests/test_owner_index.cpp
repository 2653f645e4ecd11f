// Every owner text, from process tables made by hand: each case asks about one row, with the
// index built for that row alone.
#include <QtTest>

#include "core/owners/socket_owner.h"
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

}  // namespace

class TestOwnerIndex : public QObject {
    Q_OBJECT
private slots:
    void ownerTexts_data() {
        QTest::addColumn<ProcessTable>("table");
        QTest::addColumn<TcpRow>("row");
        QTest::addColumn<QString>("text");
        const auto add = [](const char* name, const ProcessTable& table, const TcpRow& row,
                            const QString& text) { QTest::newRow(name) << table << row << text; };
        const std::uint8_t synReceived = TcpState::SynReceived, closeWait = TcpState::CloseWait,
                           timeWait = TcpState::TimeWait;
        const ProcessTable one{{{10, 0, "sshd", "root", {5, 7}}}};
        add("closed", one, Connection(9), "No process: closed since the last refresh");
        add("no inode, closing", one, Connection(0, timeWait),
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
            Connection(0, synReceived),
            "Process: not yet accepted by exact (PID 11)\nProgram: /srv/e");
        add("queued: else the one on 0.0.0.0", Listening({dual, any, exact}),
            Connection(0, closeWait, "127.0.0.3"),
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
        add("Windows: PID 0 closing", windows, Connection(0, closeWait),
            "No process: the connection is closing");
        add("Windows: PID 0 established", windows, Connection(0),
            "Process: not visible without administrator rights");
    }
    void ownerTexts() {
        QFETCH(ProcessTable, table);
        QFETCH(TcpRow, row);
        const OwnerIndex index(table, {row});
        QTEST(QString::fromStdString(OwnerText(&index, row, false)), "text");
    }
};

QTEST_MAIN(TestOwnerIndex)
#include "test_owner_index.moc"
