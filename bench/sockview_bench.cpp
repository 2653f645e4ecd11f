// Measures the snapshot and a full refresh of the main window against `ss -tan4` on the same
// table, both while the owners are looked up beside them, the longest the window's event loop
// waits during a refresh, the memory the list holds per listed row, the longest a row's tooltip
// question (its owner and its remote host, with their lookups running) keeps the window waiting,
// and how soon every owner is known against `ss -tanp`. Run as root: it makes its own network
// namespace.
// Usage: sockview-bench [connections ...]
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/connection_farm.h"
#include "core/table/tcp_table.h"
#include "gui/main/frmMain.h"

extern char** environ;

namespace {

constexpr int Runs = 5;
constexpr int LargestWithOwnerPeer = 100000;
using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void RunSs(const char* options) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("ss"), const_cast<char*>(options), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ss", &actions, nullptr, argv, environ) == 0) waitpid(pid, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);
}

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A refresh as the user sees it, from the press to the rows painted. Returns the longest that
// the window's event loop waited meanwhile, as a timer due every millisecond sees it.
double RefreshAndWaitForRows(frmMain& window) {
    QEventLoop loop;
    QObject::connect(&window, &frmMain::refreshed, &loop, &QEventLoop::quit);
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(1);
    Clock::time_point last = Clock::now();
    double longest = 0;
    const auto tick = [&] {
        const Clock::time_point now = Clock::now();
        longest = std::max(longest, std::chrono::duration<double>(now - last).count());
        last = now;
    };
    QObject::connect(&ticks, &QTimer::timeout, tick);
    ticks.start();
    window.cmdRefresh_Click();
    tick();
    loop.exec();
    tick();
    QCoreApplication::processEvents();  // paints the rows
    tick();
    return longest;
}

// What a list that has never held rows grows by when it takes the table, per listed row: the
// model's rows and their flags, the keys kept of the snapshot for the next refresh, what the
// look at their owners found, and everything the view keeps for them. The first refresh reads
// an empty table, so the list's own memory can be told apart from everything else.
std::size_t ListBytesPerRow() {
    std::atomic<bool> empty = true;
    frmMain window([&empty] { return empty ? TcpTable{} : GetTcpTable(); }, SystemOwnerLookup(),
                   SystemHostLookup());
    bool known = false;
    QObject::connect(&window.details(), &RowDetails::ownersKnown, [&known] { known = true; });
    window.show();
    while (!known) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    malloc_trim(0);
    const std::size_t before = HeapInUse();
    empty = false;
    known = false;
    RefreshAndWaitForRows(window);
    while (!known) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    malloc_trim(0);
    const std::size_t listed = static_cast<std::size_t>(window.connections().rowCount());
    const std::size_t after = HeapInUse();
    return listed == 0 || after < before ? 0 : (after - before) / listed;
}

// The longest a question for a row's owner takes, over a thousand rows spread over the list.
double SlowestOwnerQuestion(const frmMain& window) {
    const ConnectionModel& model = window.connections();
    const int rows = model.rowCount();
    double slowest = 0;
    for (int i = 0; i < 1000 && rows > 0; ++i) {
        const int row = static_cast<int>(static_cast<long long>(i) * 7919 % rows);
        slowest =
            std::max(slowest, Seconds([&] { model.data(model.index(row, 0), Qt::ToolTipRole); }));
    }
    return slowest;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::stoi(argv[i]));
    if (counts.empty()) counts = {1000, 10000, 100000, 500000};

    std::string why;
    if (!EnterBenchNamespace(&why)) {
        std::fprintf(stderr, "sockview-bench: needs root and network namespaces: %s\n",
                     why.c_str());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The moment each snapshot of the window's refresh was taken, and when its owners were in.
    Clock::time_point snapshotTaken, ownersKnown;
    frmMain window(
        [&snapshotTaken] {
            TcpTable table = GetTcpTable();
            snapshotTaken = Clock::now();
            return table;
        },
        SystemOwnerLookup(), SystemHostLookup());
    QObject::connect(&window.details(), &RowDetails::ownersKnown,
                     [&ownersKnown] { ownersKnown = Clock::now(); });
    window.show();

    std::vector<std::string> results;
    ConnectionFarm farm;
    for (const int count : counts) {
        if (!farm.grow(count, &why)) {
            std::fprintf(stderr, "sockview-bench: %s\n", why.c_str());
            return 1;
        }
        std::vector<double> snapshot, refresh, stall, ss, block, ready, ssOwners;
        std::size_t rows = 0;
        // A million rows take seconds a run, and ss -tanp minutes: fewer runs, and no peer.
        const bool large = count > LargestWithOwnerPeer;
        const int runs = large ? 3 : Runs;
        for (int run = 0; run < runs; ++run) {
            // The refresh starts the look at the owners; the snapshot and the questions are
            // measured while it runs. The look of an earlier refresh may end during this one's.
            refresh.push_back(Seconds([&] { stall.push_back(RefreshAndWaitForRows(window)); }));
            snapshot.push_back(Seconds([&] { rows = GetTcpTable().rows.size(); }));
            double slowest = 0;
            while (ownersKnown <= snapshotTaken) {
                slowest = std::max(slowest, SlowestOwnerQuestion(window));
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
            slowest = std::max(slowest, SlowestOwnerQuestion(window));
            block.push_back(slowest);
            ready.push_back(std::chrono::duration<double>(ownersKnown - snapshotTaken).count());
            ss.push_back(Seconds([] { RunSs("-tan4"); }));
        }
        for (int run = 0; run < (large ? 0 : 3); ++run)
            ssOwners.push_back(Seconds([] { RunSs("-tanp"); }));
        const std::size_t listed = static_cast<std::size_t>(window.connections().rowCount());
        const std::size_t bytesPerRow = ListBytesPerRow();

        const double a = Median(snapshot), b = Median(refresh), c = Median(ss);
        const double stalled = Median(stall), worst = *std::ranges::max_element(stall);
        const double blocked = Median(block), known = Median(ready);
        const double p = ssOwners.empty() ? 0 : Median(ssOwners);
        std::printf(
            "connections=%d rows=%zu listed=%zu  snapshot %.1f ms  refresh %.1f ms  "
            "ss -tan4 %.1f ms  longest UI stall %.1f ms (worst %.1f ms)  longest owner question "
            "%.3f ms  owners known %.1f ms  ss -tanp %.1f ms  (median of %d; ss -tanp of 3; "
            "%u cores)\n",
            count, rows, listed, a * 1e3, b * 1e3, c * 1e3, stalled * 1e3, worst * 1e3,
            blocked * 1e3, known * 1e3, p * 1e3, runs, std::thread::hardware_concurrency());
        char line[400];
        std::snprintf(line, sizeof line,
                      "RESULT cores=%u connections=%d rows=%zu snapshot_ratio=%.2f "
                      "refresh_ratio=%.2f ui_stall_ms=%.1f ui_stall_worst_ms=%.1f "
                      "list_bytes_per_row=%zu owner_block_ms=%.3f owner_ready_ms=%.1f "
                      "ss_p_ms=%.1f owner_vs_ss_p=%.3f",
                      std::thread::hardware_concurrency(), count, rows, a / c, b / c, stalled * 1e3,
                      worst * 1e3, bytesPerRow, blocked * 1e3, known * 1e3, p * 1e3,
                      p > 0 ? known / p : 0);
        results.emplace_back(line);
        std::fflush(stdout);
    }
    for (const std::string& line : results) std::puts(line.c_str());
    return 0;
}
