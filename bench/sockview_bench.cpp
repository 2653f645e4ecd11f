// Measures inside the program, with the main window on Qt's offscreen platform: at each size, the
// floor (the snapshot's one walk, only counted) and the two dumps a part asked for before it, the
// snapshot and `ss -tan4` in alternating order, a refresh from the press to the rows painted, the
// longest the window's event loop waits from the press until the owners are in and 100 ms more
// (with a row current in every other run), the longest a row's tooltip question takes meanwhile,
// how soon every owner is known against `ss -tanp`, and the memory the list holds per listed
// row. Checks the goals and ends with status 1, naming each figure, when one is missed or cannot
// be measured. Run as root: it makes its own network namespace.
// Usage: sockview-bench [connections ...]
#include <malloc.h>

#include <QApplication>
#include <QEventLoop>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_kit.h"
#include "bench/connection_farm.h"
#include "bench/raw_dump.h"
#include "core/base/large_buffers.h"
#include "core/table/tcp_table.h"
#include "gui/main/frmMain.h"

namespace {

constexpr int Runs = 6, RunsAtLargeTables = 4;  // half of them with a row current
constexpr int LargestWithOwnerPeer = 100000;
constexpr int LargeTable = 500000;                       // connections: a million rows
constexpr int FloorGoalsFrom = 100000;                   // connections
constexpr double SnapshotGoal = 0.9, RefreshGoal = 1.0;  // times the floor
constexpr double StallGoalMs = 16, StallGoalAtLargeTablesMs = 50;
constexpr auto AfterOwners = std::chrono::milliseconds(100);
constexpr auto QuestionInterval = std::chrono::milliseconds(10);  // a pointer resting on rows
std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void WaitFor(const bool& done) {
    while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// What one refresh showed the user.
struct RefreshRun {
    double rowsPainted = 0;                                         // ms from the press
    double longestStall = 0, longestQuestion = 0, ownersKnown = 0;  // ms
};

// The main window and the moments its refreshes reach.
class Window {
public:
    Window()
        : window_(
              [this] {
                  TcpTable table = GetTcpTable();
                  snapshotTaken_ = Clock::now();
                  return table;
              },
              RowDetails::SystemSources()) {
        QObject::connect(&window_, &frmMain::refreshed, [this] { refreshed_ = true; });
        QObject::connect(&window_.details(), &RowDetails::ownersKnown, [this] {
            ownersKnown_ = Clock::now();
            ownersIn_ = true;
        });
        window_.show();
        // The refresh that the window starts with: a press before it is in would be ignored.
        WaitFor(refreshed_);
        WaitFor(ownersIn_);
    }
    const frmMain& window() const { return window_; }

    // A press of Refresh List, with the row in the middle of the list current or none. The
    // window's event loop runs from the press until the owners are in and a little more, with
    // a timer due every millisecond that sees how long it waits, and a tooltip question now and
    // then over rows spread across the list, whose remote hosts are looked up meanwhile.
    RefreshRun refresh(bool rowCurrent) {
        QTableView* list = window_.lstConnections;
        const ConnectionModel& model = window_.connections();
        list->setCurrentIndex(rowCurrent ? model.index(model.rowCount() / 2, 0) : QModelIndex());
        bool settled = false;  // the list scrolled to the row and painted before the press
        QTimer::singleShot(50, [&settled] { settled = true; });
        WaitFor(settled);
        RefreshRun run;
        refreshed_ = ownersIn_ = false;
        bool paintSeen = false, painted = false;
        Clock::time_point last = Clock::now();
        const auto tick = [&] {
            const Clock::time_point now = Clock::now();
            run.longestStall = std::max(run.longestStall, Ms(now - last));
            last = now;
        };
        // The first paint once the rows are in: timed when it is done.
        PaintWatch paints(list->viewport(), [&] {
            if (!refreshed_ || std::exchange(paintSeen, true)) return;
            QTimer::singleShot(0, [&] {
                painted = true;
                run.rowsPainted = Ms(Clock::now() - pressed_);
            });
        });
        QTimer ticks, questions;
        ticks.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticks, &QTimer::timeout, tick);
        int asked = 0;
        QObject::connect(&questions, &QTimer::timeout, [&] {
            const int rows = model.rowCount();
            if (rows == 0) return;
            const int row = static_cast<int>(static_cast<long long>(asked++) * 7919 % rows);
            run.longestQuestion =
                std::max(run.longestQuestion,
                         MsOf([&] { model.data(model.index(row, 0), Qt::ToolTipRole); }));
        });
        ticks.start(1);
        questions.start(QuestionInterval);
        pressed_ = Clock::now();
        window_.cmdRefresh_Click();
        tick();
        while (!(painted && ownersIn_ && Clock::now() > ownersKnown_ + AfterOwners))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        tick();
        run.ownersKnown = Ms(ownersKnown_ - snapshotTaken_);
        return run;
    }

private:
    // Calls `painting` as each paint of the widget begins.
    class PaintWatch : public QObject {
    public:
        PaintWatch(QWidget* widget, std::function<void()> painting)
            : widget_(widget), painting_(std::move(painting)) {
            widget_->installEventFilter(this);
        }
        ~PaintWatch() override { widget_->removeEventFilter(this); }
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (watched == widget_ && event->type() == QEvent::Paint) painting_();
            return false;
        }

    private:
        QWidget* widget_;
        std::function<void()> painting_;
    };

    Clock::time_point pressed_, snapshotTaken_, ownersKnown_;
    bool refreshed_ = false, ownersIn_ = false;
    frmMain window_;
};

// What a list that has never held rows grows by when it takes the table, per listed row: the
// model's rows and their flags, the keys kept of the snapshot for the next refresh, what the
// look at their owners found, and everything the view keeps for them. The first refresh reads
// an empty table, so the list's own memory can be told apart from everything else.
std::size_t ListBytesPerRow() {
    bool empty = true, known = false, refreshed = false;
    frmMain window([&empty] { return empty ? TcpTable{} : GetTcpTable(); },
                   RowDetails::SystemSources());
    QObject::connect(&window.details(), &RowDetails::ownersKnown, [&known] { known = true; });
    QObject::connect(&window, &frmMain::refreshed, [&refreshed] { refreshed = true; });
    window.show();
    WaitFor(known);
    malloc_trim(0);
    const std::size_t before = HeapInUse();
    empty = false;
    known = refreshed = false;
    window.cmdRefresh_Click();
    WaitFor(refreshed);
    WaitFor(known);
    malloc_trim(0);
    const std::size_t listed = static_cast<std::size_t>(window.connections().rowCount());
    const std::size_t after = HeapInUse();
    return listed == 0 || after < before ? 0 : (after - before) / listed;
}

}  // namespace

int main(int argc, char* argv[]) {
    ReturnLargeBuffersWhenFreed();  // as the program does
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        const long count = std::strtol(argv[i], nullptr, 10);
        if (count <= 0 || count > 2'000'000) {
            std::fprintf(stderr, "usage: sockview-bench [CONNECTIONS ...]\n");
            return 2;
        }
        counts.push_back(static_cast<int>(count));
    }
    if (counts.empty()) counts = {1000, 10000, 100000, LargeTable};

    std::string why;
    if (!EnterBenchNamespace(&why)) {
        std::fprintf(stderr, "sockview-bench: needs root and network namespaces: %s\n",
                     why.c_str());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Window window;
    std::vector<std::string> results;
    Goals goals;
    ConnectionFarm farm;
    for (const int count : counts) {
        if (!farm.grow(count, &why)) {
            std::fprintf(stderr, "sockview-bench: %s\n", why.c_str());
            return 1;
        }
        std::size_t rows = 0, counted = 0;
        // A million rows take seconds a run, and ss -tanp minutes: fewer runs, and no peer.
        const bool large = count > LargestWithOwnerPeer;
        const int runs = large ? RunsAtLargeTables : Runs;
        Figures f("connections=" + std::to_string(count));
        std::vector<double> questions;
        for (int run = 0; run < runs; ++run) {
            // The floor first in one run, last in the next, so that neither has the warmer cache.
            double floor = 0, twoDumps = 0, snapshot = 0, ss = 0;
            const auto dumps = [&] {
                floor = MsOf([&] { counted = CountDumpedSockets(); });
                twoDumps = MsOf([&] { CountDumpedSockets(false); });
            };
            if (run % 2 == 0) dumps();
            snapshot = MsOf([&] { rows = GetTcpTable().rows.size(); });
            ss = SsMs("-tan4");
            if (run % 2 == 1) dumps();
            const RefreshRun refresh = window.refresh(run % 2 == 1);
            for (const auto& [name, value] : {std::pair{"floor_ms", floor},
                                              {"two_dumps_ms", twoDumps},
                                              {"snapshot_ms", snapshot},
                                              {"refresh_ms", refresh.rowsPainted},
                                              {"ss_ms", ss},
                                              {"two_dumps_vs_floor", twoDumps / floor},
                                              {"snapshot_vs_floor", snapshot / floor},
                                              {"refresh_vs_floor", refresh.rowsPainted / floor},
                                              {"ss_vs_floor", ss / floor},
                                              {"owner_ready_ms", refresh.ownersKnown}})
                f.add(name, value);
            f.add(run % 2 ? "ui_stall_current_ms" : "ui_stall_ms", refresh.longestStall);
            questions.push_back(refresh.longestQuestion);
        }
        for (int run = 0; run < (large ? 0 : 3); ++run) f.add("ss_p_ms", SsMs("-tanp"));
        f.add("ui_stall_worst_ms", f.worst("ui_stall_ms"));
        f.add("ui_stall_current_worst_ms", f.worst("ui_stall_current_ms"));
        f.add("owner_block_ms", Worst(questions));
        f.add("list_bytes_per_row", static_cast<double>(ListBytesPerRow()));
        results.push_back(f.line() + " rows=" + std::to_string(rows) +
                          " runs=" + std::to_string(runs));
        std::puts(results.back().c_str());
        std::fflush(stdout);

        if (counted == 0 || rows == 0) goals.fail("floor: no sockets counted or read");
        const std::string at = " at " + std::to_string(count) + " connections";
        // The parts that beat one walk need a second core; small tables are fixed costs.
        if (count >= FloorGoalsFrom && std::thread::hardware_concurrency() >= 2) {
            goals.atMost("snapshot_vs_floor" + at, f.median("snapshot_vs_floor"), SnapshotGoal);
            goals.atMost("refresh_vs_floor" + at, f.median("refresh_vs_floor"), RefreshGoal);
        }
        goals.atMost("ui_stall_worst_ms" + at,
                     std::max(f.median("ui_stall_worst_ms"), f.median("ui_stall_current_worst_ms")),
                     count >= LargeTable ? StallGoalAtLargeTablesMs : StallGoalMs);
    }
    char text[300];
    std::snprintf(text, sizeof text,
                  "snapshot_vs_floor <= %.2f and refresh_vs_floor <= %.2f from %d connections on "
                  "2 cores or more; ui_stall_worst_ms <= %.0f, from %d connections <= %.0f",
                  SnapshotGoal, RefreshGoal, FloorGoalsFrom, StallGoalMs, LargeTable,
                  StallGoalAtLargeTablesMs);
    return goals.finish(results, text);
}
