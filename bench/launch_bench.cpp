// Measures the whole program from outside, as a user meets it, on a private X server with no
// window manager: how soon its window is on screen and its caption shows the counts, its peak
// memory per row of the table, against `ss -tan4` on the same table; and how soon it ends after
// Exit on a busy machine. Run as root: it makes its own network namespace, where every
// connection is on loopback.
// Usage: sockview-launch-bench [--program PATH] [--runs N] [--no-exit | --exit-only] [ROWS ...]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
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
#include "bench/x_session.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int Runs = 5;
constexpr int RunsAtLargeTables = 3;  // a launch at a million rows takes seconds
constexpr int LargeTable = 500000;
constexpr int BusyConnections = 72000;  // eight children of the farm
constexpr int BusyLoops = 2;
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

long long PeakRssBytes(pid_t pid) {
    const std::string kb = StatusField(pid, "VmHWM");
    return kb.empty() ? 0 : std::stoll(kb) * 1024;
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
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("ss"), const_cast<char*>("-tan4"), nullptr};
    pid_t pid = 0;
    const auto start = Clock::now();
    if (posix_spawnp(&pid, "ss", &actions, nullptr, argv, environ) == 0) waitpid(pid, nullptr, 0);
    const auto end = Clock::now();
    posix_spawn_file_actions_destroy(&actions);
    return Ms(end - start);
}

struct Launch {
    bool ok = false;
    std::string failure;
    double windowMs = 0, countsMs = 0, exitMs = 0;
    long long peakRss = 0;
    long long shown = 0, hidden = 0;
};

struct Setup {
    std::string program;
    std::string display;
    std::vector<std::string> environment;
    std::filesystem::path log;
};

enum class Ending { Politely, ExitAtOnce };

// One launch: from exec to the window on screen and to the counts in its caption; then, either
// at rest its peak memory and a polite close, or at once the time from the close request to its
// end.
Launch LaunchOnce(const Setup& setup, Ending ending) {
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
    while (!watch.Update(CountsText) && Clock::now() < deadline) {
        pollfd ready[] = {{watch.fd(), POLLIN, 0}, {program.pidfd(), POLLIN, 0}};
        poll(ready, 2, 100);
        if (ready[1].revents) {
            ended = true;
            break;
        }
    }
    if (!watch.captioned()) {
        result.failure = ended ? "the program ended before showing its counts"
                               : "no window with the counts within the time allowed";
        return result;
    }
    result.windowMs = Ms(*watch.mapped() - start);
    result.countsMs = Ms(*watch.captioned() - start);
    std::smatch counts;
    const std::string& caption = watch.caption();
    if (std::regex_search(caption, counts, std::regex("(\\d+) shown, (\\d+) hidden"))) {
        result.shown = std::stoll(counts[1]);
        result.hidden = std::stoll(counts[2]);
    }
    if (ending == Ending::Politely) {
        WaitUntilIdle(program.pid());
        result.peakRss = PeakRssBytes(program.pid());
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

void PrintLaunch(int run, const Launch& launch, double ss) {
    if (!launch.ok) {
        std::printf("  run %d: FAILED: %s\n", run, launch.failure.c_str());
    } else {
        std::printf(
            "  run %d: window %.1f ms  counts %.1f ms  peak RSS %.1f MiB  closed in %.1f ms"
            "  ss -tan4 %.1f ms\n",
            run, launch.windowMs, launch.countsMs, launch.peakRss / 1048576.0, launch.exitMs, ss);
    }
    std::fflush(stdout);
}

struct TableFigures {
    double windowMs = 0, countsMs = 0, ssMs = 0;
    double peakRss = 0;
    long long rows = 0;
};

std::optional<TableFigures> MeasureTable(const Setup& setup, int runs) {
    std::vector<double> window, counts, peak, ss;
    long long rows = 0;
    for (int run = 1; run <= runs; ++run) {
        const Launch launch = LaunchOnce(setup, Ending::Politely);
        const double ssMs = SsMs();
        PrintLaunch(run, launch, ssMs);
        if (!launch.ok) continue;
        window.push_back(launch.windowMs);
        counts.push_back(launch.countsMs);
        peak.push_back(static_cast<double>(launch.peakRss));
        ss.push_back(ssMs);
        rows = launch.shown + launch.hidden;
    }
    if (window.empty()) return std::nullopt;
    return TableFigures{Median(window), Median(counts), Median(ss), Median(peak), rows};
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
        } else if (!argument.empty() && std::isdigit(static_cast<unsigned char>(argument[0]))) {
            options->rows.push_back(std::stoi(argument));
        } else {
            return false;
        }
    }
    if (options->rows.empty()) options->rows = {200000, 1000000};
    // The empty table is the baseline of the window's delay and of the memory per row.
    options->rows.insert(options->rows.begin(), 0);
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
    if (!EnterBenchNamespace(&why)) {
        std::fprintf(stderr, "sockview-launch-bench: needs root and network namespaces: %s\n",
                     why.c_str());
        return 1;
    }
    PrivateXServer server;
    if (!server.Start(&why)) {
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
    ConnectionFarm farm;
    std::optional<TableFigures> empty;
    for (const int rows : options.tables ? options.rows : std::vector<int>{}) {
        const bool complete = GrowTable(farm, rows);
        const int runs = options.runs         ? options.runs
                         : rows >= LargeTable ? RunsAtLargeTables
                                              : Runs;
        std::printf("table of %d connections:\n", farm.opened());
        std::fflush(stdout);
        const std::optional<TableFigures> figures = MeasureTable(setup, runs);
        if (!figures) {
            std::printf("  every launch failed; the program said:\n");
            std::ifstream log(setup.log);
            for (std::string said; std::getline(log, said);) std::printf("    %s\n", said.c_str());
            results.push_back("RESULT rows=? launches failed");
            if (!complete) break;
            continue;
        }
        if (rows == 0) empty = figures;
        const TableFigures& f = *figures;
        const double delay = empty ? f.windowMs - empty->windowMs : 0;
        const double perRow =
            empty && f.rows > 0 ? (f.peakRss - empty->peakRss) / static_cast<double>(f.rows) : 0;
        char line[400];
        std::snprintf(line, sizeof line,
                      "RESULT rows=%lld window_ms=%.1f window_delay_ms=%.1f counts_ms=%.1f "
                      "ss_ms=%.1f counts_vs_ss=%.2f peak_rss_mib=%.1f peak_rss_per_row=%.1f "
                      "cores=%u runs=%d",
                      f.rows, f.windowMs, delay, f.countsMs, f.ssMs, f.countsMs / f.ssMs,
                      f.peakRss / 1048576.0, perRow, cores, runs);
        std::printf("%s\n", line);
        std::fflush(stdout);
        results.emplace_back(line);
        if (!complete) break;  // the largest table this machine could hold is measured
    }

    if (options.exit) {
        farm.closeAll();
        GrowTable(farm, 2 * BusyConnections);
        std::vector<std::unique_ptr<Child>> loops;
        for (int i = 0; i < BusyLoops; ++i)
            loops.push_back(std::make_unique<Child>([] {
                for (;;) asm volatile("");
            }));
        const int runs = options.runs ? options.runs : Runs;
        std::printf("exit on a busy machine: %d connections in %d processes, %d busy loops\n",
                    farm.opened(), (farm.opened() + 8999) / 9000, BusyLoops);
        std::fflush(stdout);
        std::vector<double> exits;
        long long rows = 0;
        int killed = 0;  // a killed run counts as the time it was given: the median is a floor
        for (int run = 1; run <= runs; ++run) {
            const Launch launch = LaunchOnce(setup, Ending::ExitAtOnce);
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
                      "RESULT exit rows=%lld busy_loops=%d exit_ms=%.1f killed_after_%llds=%d "
                      "cores=%u runs=%d",
                      rows, BusyLoops, Median(exits), static_cast<long long>(ExitTimeout.count()),
                      killed, cores, runs);
        std::printf("%s\n", line);
        results.emplace_back(line);
    }
    farm.closeAll();
    std::printf(
        "goals: window_delay_ms <= 30, counts_vs_ss <= 0.5, peak_rss_per_row <= 80, "
        "exit_ms <= 300\n");
    for (const std::string& line : results) std::puts(line.c_str());
    return 0;
}
