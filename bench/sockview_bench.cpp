// Measures the snapshot and a full refresh of the main window against `ss -tan4` on the same
// table, the memory the list holds per listed row, and how long a row's owner takes to tell:
// the first question after a refresh looks at every process, later ones use what it found. Run as
// root: it makes its own network namespace. Usage: sockview-bench [connections ...]
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/connection_farm.h"
#include "core/tcp_table.h"
#include "windows/main/frmMain.h"

extern char** environ;

namespace {

constexpr int kRuns = 5;

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void RunSs() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("ss"), const_cast<char*>("-tan4"), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ss", &actions, nullptr, argv, environ) == 0) waitpid(pid, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);
}

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// What a list that has never held rows grows by when it takes the table, per listed row: the
// model's rows and everything the view keeps for them. The first refresh reads an empty table,
// so the list's own memory can be told apart from everything else.
std::size_t ListBytesPerRow() {
    bool empty = true;
    frmMain window([&empty] { return empty ? TcpTable{} : GetTcpTable(); }, SystemOwnerScan());
    window.show();
    QCoreApplication::processEvents();
    malloc_trim(0);
    const std::size_t before = HeapInUse();
    empty = false;
    window.cmdRefresh_Click();
    QCoreApplication::processEvents();
    malloc_trim(0);
    const std::size_t listed = static_cast<std::size_t>(window.connections().rowCount());
    const std::size_t after = HeapInUse();
    return listed == 0 || after < before ? 0 : (after - before) / listed;
}

QString Tooltip(const frmMain& window, int row) {
    const ConnectionModel& model = window.connections();
    return model.data(model.index(row, 0), Qt::ToolTipRole).toString();
}

// The slowest of a thousand questions spread over the list, after the first.
double SlowestLaterOwner(const frmMain& window) {
    const int rows = window.connections().rowCount();
    double slowest = 0;
    for (int i = 0; i < 1000 && rows > 0; ++i) {
        const int row = static_cast<int>(static_cast<long long>(i) * 7919 % rows);
        slowest = std::max(slowest, Seconds([&] { Tooltip(window, row); }));
    }
    return slowest;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::stoi(argv[i]));
    if (counts.empty()) counts = {1000, 10000, 50000, 100000};

    std::string why;
    if (!EnterBenchNamespace(&why)) {
        std::fprintf(stderr, "sockview-bench: needs root and network namespaces: %s\n",
                     why.c_str());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    frmMain window(&GetTcpTable, SystemOwnerScan());
    window.show();

    std::vector<std::string> results;
    ConnectionFarm farm;
    for (const int count : counts) {
        if (!farm.Grow(count, &why)) {
            std::fprintf(stderr, "sockview-bench: %s\n", why.c_str());
            return 1;
        }
        std::vector<double> snapshot, refresh, ss, firstOwner, laterOwner;
        std::size_t rows = 0;
        for (int run = 0; run < kRuns; ++run) {
            snapshot.push_back(Seconds([&] { rows = GetTcpTable().rows.size(); }));
            refresh.push_back(Seconds([&] { window.cmdRefresh_Click(); }));
            ss.push_back(Seconds(RunSs));
            firstOwner.push_back(Seconds([&] { Tooltip(window, 0); }));
            laterOwner.push_back(SlowestLaterOwner(window));
        }
        const std::size_t listed = static_cast<std::size_t>(window.connections().rowCount());
        const std::size_t bytesPerRow = ListBytesPerRow();

        const double a = Median(snapshot), b = Median(refresh), c = Median(ss);
        const double first = Median(firstOwner), later = Median(laterOwner);
        std::printf(
            "connections=%d rows=%zu listed=%zu  snapshot %.1f ms  refresh %.1f ms  "
            "ss -tan4 %.1f ms  first owner %.1f ms  slowest later owner %.3f ms  "
            "(median of %d)\n",
            count, rows, listed, a * 1e3, b * 1e3, c * 1e3, first * 1e3, later * 1e3, kRuns);
        char line[300];
        std::snprintf(line, sizeof line,
                      "RESULT connections=%d rows=%zu snapshot_ratio=%.2f refresh_ratio=%.2f "
                      "bytes_per_row=%zu owner_ms=%.1f later_owner_ms=%.3f",
                      count, rows, a / c, b / c, bytesPerRow, first * 1e3, later * 1e3);
        results.emplace_back(line);
        std::fflush(stdout);
    }
    for (const std::string& line : results) std::puts(line.c_str());
    return 0;
}
