// Measures the whole program from outside, as a user meets it, on a private X server with no
// window manager: how soon its window is on screen and its caption shows the counts, its peak
// memory per row of the table, against `ss -tan4` on the same table; and how soon it ends after
// Exit on a busy machine. Run as root: it makes its own network namespace, where every
// connection is on loopback.
// Usage: sockview-launch-bench [--program PATH] [--runs N] [--no-exit | --exit-only] [ROWS ...]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_kit.h"
#include "bench/connection_farm.h"
#include "bench/program_launch.h"
#include "bench/raw_dump.h"
#include "bench/x_session.h"

namespace {

constexpr int Runs = 5;
constexpr int RunsAtLargeTables = 3;     // a launch at a million rows takes seconds
constexpr int LargeTable = 1000000;      // rows
constexpr int BusyConnections = 72000;   // eight children of the farm
constexpr int CountsGoalsFrom = 200000;  // rows: below, the start-up's fixed costs dominate
constexpr double WindowDelayGoalMs = 30, LaunchGoal = 0.40, PeakGoal = 80, SettledGoal = 64;
constexpr double ExitGoalMs = 300;

double PerRow(long long table, long long empty, long long rows) {
    return rows > 0 ? static_cast<double>(table - empty) / static_cast<double>(rows) : NotMeasured;
}

void PrintLaunch(const char* what, int run, const Launch& launch) {
    std::printf(
        "  run %d, %s: window painted %.1f ms, counts %.1f ms, rows painted %.1f ms, peak "
        "%.1f MiB, after %d refreshes %.1f MiB, settled %.1f MiB%s%s\n",
        run, what, launch.windowMs, launch.countsMs, launch.rowsMs, launch.firstPeak / 1048576.0,
        Refreshes, launch.sessionPeak / 1048576.0, launch.settled / 1048576.0,
        launch.ok ? "" : "; FAILED: ", launch.failure.c_str());
    std::fflush(stdout);
}

// Launches on the table and on the empty namespace in turn, warm, with `ss -tan4` and the floor
// beside them; each in the first place in one run and in the last in the next.
Figures MeasureTable(const LaunchSetup& setup, int runs, int emptyNamespace) {
    Figures f("runs=" + std::to_string(runs));
    long long rows = 0;
    for (int run = 1; run <= runs; ++run) {
        double ss = 0, floor = 0;
        const auto peers = [&] {
            ss = SsMs("-tan4");
            floor = MsOf([] { CountDumpedSockets(); });
        };
        Launch empty, table;
        if (run % 2 == 0) peers();
        for (const bool onTable : {run % 2 == 0, run % 2 == 1})
            (onTable ? table : empty) =
                LaunchOnce(setup, Ending::AfterRefreshes, onTable ? -1 : emptyNamespace);
        if (run % 2 == 1) peers();
        PrintLaunch("empty", run, empty);
        PrintLaunch("table", run, table);
        if (!empty.ok || !table.ok) continue;
        rows = table.rows;
        for (const auto& [name, value] :
             {std::pair{"window_ms", table.windowMs},
              {"window_delay_ms", table.windowMs - empty.windowMs},
              {"counts_ms", table.countsMs},
              {"rows_painted_ms", table.rowsMs},
              {"ss_ms", ss},
              {"floor_ms", floor},
              {"counts_vs_ss", table.countsMs / ss},
              {"rows_vs_ss", table.rowsMs / ss},
              {"first_peak_per_row", PerRow(table.firstPeak, empty.firstPeak, rows)},
              {"session_peak_per_row", PerRow(table.sessionPeak, empty.sessionPeak, rows)},
              {"settled_per_row", PerRow(table.settled, empty.settled, rows)}})
            f.add(name, value);
    }
    f.add("rows", static_cast<double>(rows));
    return f;
}

// Opens connections for a table of `rows` rows (both ends of each listed), printing progress
// and the descriptors and memory left. False, having said why, when the machine holds fewer;
// the farm keeps what it opened.
bool GrowTable(ConnectionFarm& farm, int rows) {
    const auto start = Clock::now();
    std::string why;
    int shown = 0;
    const bool grown = farm.grow(rows / 2, &why, [&](int opened) {
        if (opened - shown < 50000) return;
        std::printf("  %d open (%.0f s)\n", shown = opened, Ms(Clock::now() - start) / 1000);
        std::fflush(stdout);
    });
    long long descriptors = 0, unused = 0, most = 0, availableKb = 0;
    std::ifstream("/proc/sys/fs/file-nr") >> descriptors >> unused >> most;
    std::ifstream memory("/proc/meminfo");
    for (std::string name; memory >> name >> availableKb && name != "MemAvailable:";)
        memory.ignore(1000, '\n');
    std::printf("%d connections open%s%s; descriptors %lld of %lld, memory available %lld MiB\n",
                farm.opened(), grown ? "" : ", no more: ", why.c_str(), descriptors, most,
                availableKb / 1024);
    std::fflush(stdout);
    return grown;
}

// Exit on a busy machine: from the close request to the end of the process, with the farm's
// children holding their connections and one busy loop a core.
Figures MeasureExit(const LaunchSetup& setup, int runs) {
    std::vector<std::unique_ptr<Child>> loops;
    for (unsigned i = 0; i < std::thread::hardware_concurrency(); ++i)
        loops.push_back(std::make_unique<Child>([] {
            for (;;) asm volatile("");
        }));
    Figures f("exit runs=" + std::to_string(runs));
    int killed = 0;  // a killed run counts as the time it was given: the median is a floor
    for (int run = 1; run <= runs; ++run) {
        const Launch launch = LaunchOnce(setup, Ending::ExitAtOnce);
        f.add("exit_ms", launch.exitMs);
        killed += !launch.ok && !std::isnan(launch.exitMs);
        std::printf("  run %d: counts %.1f ms, exit %.1f ms%s%s\n", run, launch.countsMs,
                    launch.exitMs, launch.ok ? "" : "; FAILED: ", launch.failure.c_str());
        std::fflush(stdout);
    }
    f.add("killed", killed);
    return f;
}

std::string ProgramNextToBench() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path().parent_path() / "app/korvane-sockview").string();
}

struct Options {
    std::string program = ProgramNextToBench();
    int runs = 0;  // 0: Runs, fewer at large tables
    bool exit = true, tables = true;
    std::vector<int> rows;
};

bool ParseOptions(int argc, char* argv[], Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const long rows = std::strtol(argument.c_str(), nullptr, 10);
        if (argument == "--program" && i + 1 < argc)
            options.program = argv[++i];
        else if (argument == "--runs" && i + 1 < argc)
            options.runs = std::max(1, std::atoi(argv[++i]));
        else if (argument == "--no-exit" || argument == "--exit-only")
            (argument == "--no-exit" ? options.exit : options.tables) = false;
        else if (rows > 0 && rows <= 4'000'000)
            options.rows.push_back(static_cast<int>(rows));
        else
            return false;
    }
    if (options.rows.empty()) options.rows = {200000, 1000000};
    std::ranges::sort(options.rows);
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: sockview-launch-bench [--program PATH] [--runs N] "
                     "[--no-exit | --exit-only] [ROWS ...]\n");
        return 2;
    }
    if (access(options.program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "sockview-launch-bench: no program at %s (--program PATH)\n",
                     options.program.c_str());
        return 1;
    }
    std::string why;
    const int emptyNamespace = EmptyNetworkNamespace(&why);
    PrivateXServer server;
    if (emptyNamespace < 0 || !EnterBenchNamespace(&why) || !PrivateSocketFolder(&why) ||
        !server.Start(&why)) {
        std::fprintf(stderr, "sockview-launch-bench (needs root and namespaces): %s\n",
                     why.c_str());
        return 1;
    }
    const LaunchSetup setup(options.program, server.display());
    if (setup.log < 0) {
        std::fprintf(stderr, "sockview-launch-bench: no log in /tmp: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("program %s on Xvfb %s, no window manager, %s\n", options.program.c_str(),
                server.display().c_str(), MachineNow().c_str());
    std::vector<std::string> results;
    Goals goals;
    ConnectionFarm farm;
    for (const int rows : options.tables ? options.rows : std::vector<int>{}) {
        const bool complete = GrowTable(farm, rows);
        const int runs = options.runs         ? options.runs
                         : rows >= LargeTable ? RunsAtLargeTables
                                              : Runs;
        const Figures f = MeasureTable(setup, runs, emptyNamespace);
        results.push_back(f.line());
        std::puts(results.back().c_str());
        const double counted = f.median("rows");
        const std::string at = " at " + std::to_string(rows) + " rows";
        // The window shows before the table is read: sooner than the empty launch's is no miss.
        goals.atMost("window_delay_ms" + at, f.median("window_delay_ms"), WindowDelayGoalMs);
        if (counted >= CountsGoalsFrom) {
            goals.atMost("counts_vs_ss" + at, f.median("counts_vs_ss"), LaunchGoal);
            goals.atMost("rows_vs_ss" + at, f.median("rows_vs_ss"), LaunchGoal);
        }
        if (counted >= LargeTable) {
            goals.atMost("session_peak_per_row" + at, f.median("session_peak_per_row"), PeakGoal);
            goals.atMost("settled_per_row" + at, f.median("settled_per_row"), SettledGoal);
        }
        if (!(counted > 0)) goals.fail("rows=" + std::to_string(rows) + ": launches failed");
        if (!complete) break;  // the largest table this machine could hold is measured
    }
    if (options.exit) {
        farm.closeAll();
        GrowTable(farm, 2 * BusyConnections);
        const Figures f = MeasureExit(setup, options.runs ? options.runs : Runs);
        results.push_back(f.line());
        goals.atMost("exit_ms", f.median("exit_ms"), ExitGoalMs);
    }
    farm.closeAll();
    char text[300];
    std::snprintf(text, sizeof text,
                  "window_delay_ms <= %.0f; from %d rows counts_vs_ss and rows_vs_ss <= %.2f; "
                  "from %d rows session_peak_per_row <= %.0f, settled_per_row <= %.0f; exit_ms "
                  "<= %.0f",
                  WindowDelayGoalMs, CountsGoalsFrom, LaunchGoal, LargeTable, PeakGoal, SettledGoal,
                  ExitGoalMs);
    return goals.finish(results, text);
}
