// Measures the whole program from outside, as a user meets it, on a private X server with no
// window manager: how soon its window is on screen and its caption shows the counts, its peak
// memory per row of the table, against `ss -tan4` on the same table; and how soon it ends after
// Exit on a busy machine. Run as root: it makes its own network namespace, where every
// connection is on loopback.
// Usage: sockview-launch-bench [--program PATH] [--runs N] [--no-exit | --exit-only] [ROWS ...]
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/connection_farm.h"
#include "bench/raw_dump.h"
#include "bench/x_session.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int Runs = 5;
constexpr int RunsAtLargeTables = 3;     // a launch at a million rows takes seconds
constexpr int LargeTable = 1000000;      // rows
constexpr int BusyConnections = 72000;   // eight children of the farm
constexpr int CountsGoalsFrom = 200000;  // rows: below, the start-up's fixed costs dominate
constexpr double WindowDelayGoalMs = 30, LaunchGoal = 0.45, PeakGoal = 80, SettledGoal = 64;
constexpr double ExitGoalMs = 300;
// How much sooner than the empty launch's a table launch's window may be painted by chance.
constexpr double WindowDelayNoiseMs = 5;
constexpr auto LaunchTimeout = std::chrono::seconds(180);
constexpr auto ExitTimeout = std::chrono::seconds(20);
constexpr const char* CountsText = " shown, ";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The scratch folder's paths, for a handler of an interruption, which may only unlink them.
char interruptedCleanup[4][128];

// An interrupted bench removes its scratch folder; its children end with it (parent-death
// signal), Xvfb by SIGTERM so that it removes its lock.
void RemoveScratchAndEnd(int signal) {
    for (const char* path : interruptedCleanup) {
        if (unlink(path) != 0) rmdir(path);
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// Where the page opened on exit goes: a URL handler that opens nothing.
struct Scratch {
    std::filesystem::path dir;
    Scratch() {
        char name[] = "/tmp/sockview-launch-bench.XXXXXX";
        if (mkdtemp(name)) dir = name;
        std::filesystem::create_directories(dir / "bin");
        std::ofstream(dir / "bin/xdg-open") << "#!/bin/sh\nexit 0\n";
        std::filesystem::permissions(dir / "bin/xdg-open", std::filesystem::perms::owner_all);
        const std::filesystem::path paths[] = {dir / "bin/xdg-open", dir / "bin", log(), dir};
        for (int i = 0; i < 4; ++i)
            std::snprintf(interruptedCleanup[i], sizeof interruptedCleanup[i], "%s",
                          paths[i].c_str());
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, RemoveScratchAndEnd);
    }
    std::filesystem::path log() const { return dir / "program.log"; }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

// The caller's environment without its desktop, on the private display.
std::vector<std::string> ProgramEnvironment(const std::string& display, const Scratch& scratch) {
    std::vector<std::string> environment;
    const std::vector<std::string> dropped = {
        "DISPLAY",         "QT_QPA_PLATFORM", "WAYLAND_DISPLAY",  "XDG_CURRENT_DESKTOP",
        "DESKTOP_SESSION", "BROWSER",         "XDG_SESSION_TYPE", "PATH"};
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable(*entry);
        const std::string name = variable.substr(0, variable.find('='));
        if (std::find(dropped.begin(), dropped.end(), name) == dropped.end())
            environment.push_back(variable);
    }
    const char* path = std::getenv("PATH");
    environment.push_back("PATH=" + (scratch.dir / "bin").string() + ":" +
                          (path ? path : "/usr/bin:/bin"));
    environment.push_back("DISPLAY=" + display);
    environment.push_back("BROWSER=true");
    return environment;
}

// A child process that ends with the bench if the bench is killed.
class Child {
public:
    template <typename Body>
    explicit Child(Body body) {
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            body();
            _exit(127);
        }
        if (pid_ > 0) pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        Kill();
        if (pidfd_ >= 0) close(pidfd_);
    }
    bool started() const { return pid_ > 0 && pidfd_ >= 0; }
    pid_t pid() const { return pid_; }
    int pidfd() const { return pidfd_; }
    // Waits at most `timeout` for the child to end; true once it has, and is reaped.
    bool WaitFor(Clock::duration timeout) {
        if (ended_) return true;
        pollfd ended{pidfd_, POLLIN, 0};
        if (poll(&ended, 1, static_cast<int>(Ms(timeout))) != 1) return false;
        waitpid(pid_, nullptr, 0);
        ended_ = true;
        return true;
    }
    void Kill() {
        if (pid_ <= 0 || ended_) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        ended_ = true;
    }

private:
    pid_t pid_ = -1;
    int pidfd_ = -1;
    bool ended_ = false;
};

std::string StatusField(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return line.substr(field.size() + 1);
    return {};
}

long long KilobytesField(pid_t pid, const std::string& field) {
    const std::string kb = StatusField(pid, field);
    return kb.empty() ? 0 : std::stoll(kb) * 1024;
}

long long PeakRssBytes(pid_t pid) { return KilobytesField(pid, "VmHWM"); }
long long ResidentBytes(pid_t pid) { return KilobytesField(pid, "VmRSS"); }

template <class Work>
Clock::duration TimeOf(Work work) {
    const auto start = Clock::now();
    work();
    return Clock::now() - start;
}

long long CpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos) return -1;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stoll(field);
        if (i == 15) system = std::stoll(field);
    }
    return user + system;
}

// Waits until the program has used no processor time for half a second (its work beside the
// window done too), so that its peak memory is all in.
void WaitUntilIdle(pid_t pid) {
    const auto giveUp = Clock::now() + std::chrono::seconds(60);
    long long last = CpuTicks(pid);
    for (int quiet = 0; quiet < 5 && Clock::now() < giveUp;) {
        std::this_thread::sleep_for(milliseconds(100));
        const long long now = CpuTicks(pid);
        quiet = now == last ? quiet + 1 : 0;
        last = now;
    }
}

double SsMs() {
    const auto start = Clock::now();
    RunSs("-tan4");
    return Ms(Clock::now() - start);
}

struct Launch {
    bool ok = false;
    std::string failure;
    double windowMs = 0, countsMs = 0, rowsMs = 0, exitMs = 0;
    long long firstPeak = 0, sessionPeak = 0, settled = 0;  // bytes
    long long shown = 0, hidden = 0;
};

struct Setup {
    std::string program;
    std::string display;
    std::vector<std::string> environment;
    std::filesystem::path log;
};

enum class Ending { AfterRefreshes, ExitAtOnce };

// Where Refresh List is, in the window's client area as designed.
constexpr int RefreshButtonX = 56, RefreshButtonY = 84;
constexpr int Refreshes = 10;

// Clicks Refresh List as a user does, through the X server's test extension.
bool PressRefresh(const Setup& setup, TopLevelWatch& watch) {
    const auto [x, y] = watch.OnRoot(RefreshButtonX, RefreshButtonY);
    const std::string display = "DISPLAY=" + setup.display,
                      at[] = {std::to_string(x), std::to_string(y)};
    // No --sync: it waits for ever when the pointer is there already. The server takes the move
    // before the click all the same.
    char* argv[] = {const_cast<char*>("xdotool"),
                    const_cast<char*>("mousemove"),
                    const_cast<char*>(at[0].c_str()),
                    const_cast<char*>(at[1].c_str()),
                    const_cast<char*>("click"),
                    const_cast<char*>("1"),
                    nullptr};
    char* envp[] = {const_cast<char*>(display.c_str()), nullptr};
    pid_t pid = 0;
    int status = 1;
    if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv, envp) == 0) waitpid(pid, &status, 0);
    return status == 0;
}

// Waits until the caption has changed twice since `changes` (read, then counted) and shows the
// counts again.
bool WaitForRefresh(TopLevelWatch& watch, int changes, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        watch.Update(CountsText);
        if (watch.captionChanges() >= changes + 2 &&
            watch.currentCaption().find(CountsText) != std::string::npos)
            return true;
        pollfd ready{watch.fd(), POLLIN, 0};
        poll(&ready, 1, 100);
    }
    return false;
}

// One launch: from exec to the window painted, to the counts in its caption and to the rows
// painted; then either ten refreshes and its memory at rest, or at once the time from the close
// request to its end. In the empty namespace when given one.
Launch LaunchOnce(const Setup& setup, Ending ending, int networkNamespace) {
    Launch result;
    TopLevelWatch watch(setup.display);
    if (!watch.connected()) {
        result.failure = "cannot connect to the X server " + setup.display;
        return result;
    }
    std::vector<char*> envp;
    for (const std::string& variable : setup.environment)
        envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);
    const auto start = Clock::now();
    Child program([&] {
        if (networkNamespace >= 0 && setns(networkNamespace, CLONE_NEWNET) != 0) _exit(126);
        const int log = open(setup.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(log, 1);
        dup2(log, 2);
        char* argv[] = {const_cast<char*>(setup.program.c_str()), nullptr};
        execve(setup.program.c_str(), argv, envp.data());
    });
    if (!program.started()) {
        result.failure = std::string("fork: ") + std::strerror(errno);
        return result;
    }
    const auto deadline = start + LaunchTimeout;
    bool ended = false;
    // The counts, and, unless the table is empty, the rows painted: the pixels are read again
    // every millisecond while a paint is awaited.
    const auto seen = [&] {
        return watch.captioned() && watch.painted() &&
               (watch.rowsPainted() || watch.caption().find(" - 0 shown, ") != std::string::npos);
    };
    while (Clock::now() < deadline) {
        watch.Update(CountsText);
        if (seen()) break;
        pollfd ready[] = {{watch.fd(), POLLIN, 0}, {program.pidfd(), POLLIN, 0}};
        poll(ready, 2, watch.awaitingPaint() ? 1 : 100);
        if (ready[1].revents) {
            ended = true;
            break;
        }
    }
    if (!seen()) {
        result.failure = ended ? "the program ended before showing its counts and rows"
                               : "no window with the counts and rows within the time allowed";
        std::ifstream log(setup.log);
        for (std::string said; std::getline(log, said);) result.failure += "\n    " + said;
        return result;
    }
    result.windowMs = watch.painted() ? Ms(*watch.painted() - start) : 0;
    result.countsMs = Ms(*watch.captioned() - start);
    result.rowsMs = watch.rowsPainted() ? Ms(*watch.rowsPainted() - start) : 0;
    std::smatch counts;
    const std::string& caption = watch.caption();
    if (std::regex_search(caption, counts, std::regex("(\\d+) shown, (\\d+) hidden"))) {
        result.shown = std::stoll(counts[1]);
        result.hidden = std::stoll(counts[2]);
    }
    if (ending == Ending::AfterRefreshes) {
        WaitUntilIdle(program.pid());
        result.firstPeak = PeakRssBytes(program.pid());
        for (int refresh = 0; refresh < Refreshes; ++refresh) {
            const int changes = watch.captionChanges();
            const std::string which = "refresh " + std::to_string(refresh + 1);
            if (!PressRefresh(setup, watch)) {
                result.failure = which + ": Refresh List could not be clicked (xdotool)";
                return result;
            }
            if (!WaitForRefresh(watch, changes, Clock::now() + LaunchTimeout)) {
                result.failure = which + " did not end in the time allowed";
                return result;
            }
            WaitUntilIdle(program.pid());
        }
        result.sessionPeak = PeakRssBytes(program.pid());
        result.settled = ResidentBytes(program.pid());
    }
    const auto asked = Clock::now();
    watch.RequestClose();
    if (!program.WaitFor(ExitTimeout)) {
        // At least this long: counted before the kill, which may itself take seconds.
        result.exitMs = Ms(Clock::now() - asked);
        program.Kill();
        result.failure = "still running " + std::to_string(ExitTimeout.count()) +
                         " s after the close request; killed";
        return result;
    }
    result.exitMs = Ms(Clock::now() - asked);
    result.ok = true;
    return result;
}

void PrintLaunch(const char* what, int run, const Launch& launch) {
    if (!launch.ok) {
        std::printf("  run %d, %s: FAILED: %s\n", run, what, launch.failure.c_str());
    } else {
        std::printf(
            "  run %d, %s: window painted %.1f ms  counts %.1f ms  rows painted %.1f ms  peak "
            "RSS %.1f MiB, after %d refreshes %.1f MiB, settled RSS %.1f MiB\n",
            run, what, launch.windowMs, launch.countsMs, launch.rowsMs,
            launch.firstPeak / 1048576.0, Refreshes, launch.sessionPeak / 1048576.0,
            launch.settled / 1048576.0);
    }
    std::fflush(stdout);
}

struct TableFigures {
    double windowMs = 0, windowDelayMs = 0, countsMs = 0, rowsMs = 0, ssMs = 0;
    double countsVsSs = 0, rowsVsSs = 0, floorMs = 0;
    double firstPeakPerRow = 0, sessionPeakPerRow = 0, settledPerRow = 0;
    long long rows = 0;
};

double PerRow(long long table, long long empty, long long rows) {
    return rows > 0 ? static_cast<double>(table - empty) / static_cast<double>(rows) : 0;
}

// Launches on the table and on the empty namespace in turn, warm, with `ss -tan4` and the floor
// beside them; each in the first place in one run and in the last in the next.
std::optional<TableFigures> MeasureTable(const Setup& setup, int runs, int emptyNamespace) {
    std::vector<double> window, delay, counts, rows, ss, countsRatio, rowsRatio, floor;
    std::vector<double> firstPeak, sessionPeak, settled;
    long long tableRows = 0;
    for (int run = 1; run <= runs; ++run) {
        double ssMs = 0, floorMs = 0;
        const auto peers = [&] {
            ssMs = SsMs();
            floorMs = Ms(TimeOf([] { CountDumpedSockets(); }));
        };
        Launch empty, table;
        if (run % 2 == 1) {
            empty = LaunchOnce(setup, Ending::AfterRefreshes, emptyNamespace);
            table = LaunchOnce(setup, Ending::AfterRefreshes, -1);
            peers();
        } else {
            peers();
            table = LaunchOnce(setup, Ending::AfterRefreshes, -1);
            empty = LaunchOnce(setup, Ending::AfterRefreshes, emptyNamespace);
        }
        PrintLaunch("empty", run, empty);
        PrintLaunch("table", run, table);
        std::printf("  run %d: ss -tan4 %.1f ms, floor %.1f ms\n", run, ssMs, floorMs);
        if (!empty.ok || !table.ok) continue;
        tableRows = table.shown + table.hidden;
        window.push_back(table.windowMs);
        delay.push_back(table.windowMs - empty.windowMs);
        counts.push_back(table.countsMs);
        rows.push_back(table.rowsMs);
        ss.push_back(ssMs);
        floor.push_back(floorMs);
        countsRatio.push_back(table.countsMs / ssMs);
        rowsRatio.push_back(table.rowsMs / ssMs);
        firstPeak.push_back(PerRow(table.firstPeak, empty.firstPeak, tableRows));
        sessionPeak.push_back(PerRow(table.sessionPeak, empty.sessionPeak, tableRows));
        settled.push_back(PerRow(table.settled, empty.settled, tableRows));
    }
    if (window.empty()) return std::nullopt;
    return TableFigures{Median(window),    Median(delay),       Median(counts),    Median(rows),
                        Median(ss),        Median(countsRatio), Median(rowsRatio), Median(floor),
                        Median(firstPeak), Median(sessionPeak), Median(settled),   tableRows};
}

// A folder of X sockets of the bench's own (a mount namespace with a tmpfs over it), which the
// launches in the empty namespace reach the server through: the server's other socket is an
// abstract one, of its network namespace alone. Another X server started meanwhile on this
// machine could otherwise take the display's socket file.
bool PrivateSocketFolder(std::string* why) {
    const char* folder = "/tmp/.X11-unix";
    mkdir(folder, 01777);
    if (unshare(CLONE_NEWNS) == 0 &&
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
        mount("tmpfs", folder, "tmpfs", 0, "mode=1777") == 0)
        return true;
    *why = std::string("a private ") + folder + ": " + std::strerror(errno);
    return false;
}

std::string ProgramNextToBench() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path().parent_path() / "app/korvane-sockview").string();
}

struct Options {
    std::string program;
    int runs = 0;  // 0: Runs, fewer at large tables
    bool exit = true;
    bool tables = true;
    std::vector<int> rows;
};

bool ParseOptions(int argc, char* argv[], Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--program" && i + 1 < argc) {
            options->program = argv[++i];
        } else if (argument == "--runs" && i + 1 < argc) {
            options->runs = std::max(1, std::atoi(argv[++i]));
        } else if (argument == "--no-exit") {
            options->exit = false;
        } else if (argument == "--exit-only") {
            options->tables = false;
        } else if (const long rows = std::strtol(argument.c_str(), nullptr, 10);
                   rows > 0 && rows <= 4'000'000) {
            options->rows.push_back(static_cast<int>(rows));
        } else {
            return false;
        }
    }
    if (options->rows.empty()) options->rows = {200000, 1000000};
    std::sort(options->rows.begin(), options->rows.end());
    options->rows.erase(std::unique(options->rows.begin(), options->rows.end()),
                        options->rows.end());
    if (options->program.empty()) options->program = ProgramNextToBench();
    return true;
}

// What a large table uses of the kernel's room: descriptors system-wide, the pages of TCP
// buffers (idle loopback connections hold none, so descriptors and memory for the sockets
// themselves run out first) and the memory left.
std::string KernelRoom() {
    long long descriptors = 0, unused = 0, maxDescriptors = 0, pages = 0;
    std::ifstream("/proc/sys/fs/file-nr") >> descriptors >> unused >> maxDescriptors;
    std::ifstream sockstat("/proc/net/sockstat");
    for (std::string line; std::getline(sockstat, line);) {
        const std::size_t at = line.find(" mem ");
        if (line.rfind("TCP:", 0) == 0 && at != std::string::npos)
            pages = std::stoll(line.substr(at + 5));
    }
    std::ifstream memory("/proc/meminfo");
    std::string name;
    long long availableKb = 0;
    while (memory >> name >> availableKb && name != "MemAvailable:") memory.ignore(1000, '\n');
    char text[200];
    std::snprintf(text, sizeof text,
                  "descriptors %lld of %lld, TCP buffer pages %lld, memory available %lld MiB",
                  descriptors, maxDescriptors, pages, availableKb / 1024);
    return text;
}

// Opens connections for a table of `rows` rows (both ends of each listed), printing progress.
// Returns false, having said why, when the machine holds fewer; the farm keeps what it opened.
bool GrowTable(ConnectionFarm& farm, int rows) {
    const int connections = rows / 2;
    if (farm.opened() >= connections) return true;
    const auto start = Clock::now();
    std::printf("opening %d loopback connections...\n", connections);
    std::fflush(stdout);
    std::string why;
    int shown = 0;
    const bool grown = farm.grow(connections, &why, [&](int opened) {
        if (opened - shown < 50000 && opened != connections) return;
        shown = opened;
        std::printf("  %d open (%.0f s)\n", opened, Ms(Clock::now() - start) / 1000);
        std::fflush(stdout);
    });
    if (!grown)
        std::printf("could not open more than %d connections: %s\n", farm.opened(), why.c_str());
    else
        std::printf("  done in %.1f s\n", Ms(Clock::now() - start) / 1000);
    std::printf("  %s\n", KernelRoom().c_str());
    std::fflush(stdout);
    return grown;
}

}  // namespace

// Figures checked against their goals; each one missed, or that could not be measured, named.
struct Check {
    std::vector<std::string> missed;
    void atMost(const std::string& name, double value, double goal, double lowest = 0) {
        if (value >= lowest && value <= goal && (lowest < 0 || value > 0)) return;
        char line[200];
        std::snprintf(line, sizeof line, "%s=%.2f: goal %.2f%s", name.c_str(), value, goal,
                      value < lowest || value == 0 ? " (not measured)" : "");
        missed.emplace_back(line);
    }
};

int main(int argc, char* argv[]) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
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
    if (emptyNamespace < 0 || !EnterBenchNamespace(&why)) {
        std::fprintf(stderr, "sockview-launch-bench: needs root and network namespaces: %s\n",
                     why.c_str());
        return 1;
    }
    PrivateXServer server;
    if (!PrivateSocketFolder(&why) || !server.Start(&why)) {
        std::fprintf(stderr, "sockview-launch-bench: %s\n", why.c_str());
        return 1;
    }
    const Scratch scratch;
    const Setup setup{options.program, server.display(),
                      ProgramEnvironment(server.display(), scratch), scratch.log()};
    const unsigned cores = std::thread::hardware_concurrency();
    std::printf("program %s on Xvfb %s, no window manager, %u cores\n", options.program.c_str(),
                server.display().c_str(), cores);
    std::fflush(stdout);

    std::vector<std::string> results;
    Check check;
    ConnectionFarm farm;
    for (const int rows : options.tables ? options.rows : std::vector<int>{}) {
        const bool complete = GrowTable(farm, rows);
        const int runs = options.runs         ? options.runs
                         : rows >= LargeTable ? RunsAtLargeTables
                                              : Runs;
        std::printf("table of %d connections, against launches on an empty table:\n",
                    farm.opened());
        std::fflush(stdout);
        const std::optional<TableFigures> figures = MeasureTable(setup, runs, emptyNamespace);
        if (!figures || figures->rows == 0) {
            std::printf("  no launch counted rows; the program said:\n");
            std::ifstream log(setup.log);
            for (std::string said; std::getline(log, said);) std::printf("    %s\n", said.c_str());
            check.missed.push_back("rows=" + std::to_string(rows) + ": launches failed");
            if (!complete) break;
            continue;
        }
        const TableFigures& f = *figures;
        char line[600];
        std::snprintf(line, sizeof line,
                      "RESULT cores=%u rows=%lld window_ms=%.1f window_delay_ms=%.1f "
                      "counts_ms=%.1f rows_painted_ms=%.1f ss_ms=%.1f floor_ms=%.1f "
                      "counts_vs_ss=%.2f rows_vs_ss=%.2f first_peak_per_row=%.1f "
                      "session_peak_per_row=%.1f settled_per_row=%.1f runs=%d",
                      cores, f.rows, f.windowMs, f.windowDelayMs, f.countsMs, f.rowsMs, f.ssMs,
                      f.floorMs, f.countsVsSs, f.rowsVsSs, f.firstPeakPerRow, f.sessionPeakPerRow,
                      f.settledPerRow, runs);
        std::printf("%s\n", line);
        std::fflush(stdout);
        results.emplace_back(line);
        const std::string at = " at " + std::to_string(f.rows) + " rows";
        // The window shows before the table is read: a table launch painted sooner than the empty
        // one tells of caches or a busy machine, not of the program.
        check.atMost("window_delay_ms" + at, f.windowDelayMs, WindowDelayGoalMs,
                     -WindowDelayNoiseMs);
        if (f.rows >= CountsGoalsFrom) {
            check.atMost("counts_vs_ss" + at, f.countsVsSs, LaunchGoal);
            check.atMost("rows_vs_ss" + at, f.rowsVsSs, LaunchGoal);
        }
        if (f.rows >= LargeTable) {
            check.atMost("session_peak_per_row" + at, f.sessionPeakPerRow, PeakGoal);
            check.atMost("settled_per_row" + at, f.settledPerRow, SettledGoal);
        }
        if (!complete) break;  // the largest table this machine could hold is measured
    }

    if (options.exit) {
        farm.closeAll();
        GrowTable(farm, 2 * BusyConnections);
        std::vector<std::unique_ptr<Child>> loops;
        for (unsigned i = 0; i < cores; ++i)
            loops.push_back(std::make_unique<Child>([] {
                for (;;) asm volatile("");
            }));
        const int runs = options.runs ? options.runs : Runs;
        std::printf("exit on a busy machine: %d connections in %d processes, %u busy loops\n",
                    farm.opened(), (farm.opened() + 8999) / 9000, cores);
        std::fflush(stdout);
        std::vector<double> exits;
        long long rows = 0;
        int killed = 0;  // a killed run counts as the time it was given: the median is a floor
        for (int run = 1; run <= runs; ++run) {
            const Launch launch = LaunchOnce(setup, Ending::ExitAtOnce, -1);
            if (launch.ok || launch.exitMs > 0) exits.push_back(launch.exitMs);
            killed += !launch.ok && launch.exitMs > 0;
            rows = launch.shown + launch.hidden;
            std::printf("  run %d: counts %.1f ms  exit %.1f ms%s%s\n", run, launch.countsMs,
                        launch.exitMs, launch.ok ? "" : "  FAILED: ", launch.failure.c_str());
            std::fflush(stdout);
        }
        loops.clear();
        char line[200];
        std::snprintf(line, sizeof line,
                      "RESULT exit cores=%u rows=%lld busy_loops=%u exit_ms=%.1f "
                      "killed_after_%llds=%d runs=%d",
                      cores, rows, cores, Median(exits),
                      static_cast<long long>(ExitTimeout.count()), killed, runs);
        std::printf("%s\n", line);
        results.emplace_back(line);
        check.atMost("exit_ms", Median(exits), ExitGoalMs);
    }
    farm.closeAll();
    std::printf(
        "goals: window_delay_ms <= %.0f; from %d rows counts_vs_ss and rows_vs_ss <= %.2f; from %d "
        "rows session_peak_per_row <= %.0f, settled_per_row <= %.0f; exit_ms <= %.0f\n",
        WindowDelayGoalMs, CountsGoalsFrom, LaunchGoal, LargeTable, PeakGoal, SettledGoal,
        ExitGoalMs);
    for (const std::string& line : results) std::puts(line.c_str());
    for (const std::string& missed : check.missed) std::printf("MISSED %s\n", missed.c_str());
    return check.missed.empty() ? 0 : 1;
}
