#include "bench/program_launch.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <unistd.h>

#include <cstring>
#include <regex>
#include <thread>

#include "bench/x_session.h"

namespace {

constexpr auto LaunchTimeout = std::chrono::seconds(180);
constexpr auto ExitTimeout = std::chrono::seconds(20);
constexpr const char* CountsText = " shown, ";
// Where Refresh List is, in the window's client area as designed.
constexpr int RefreshButtonX = 56, RefreshButtonY = 84;

// Clicks Refresh List as a user does, through the X server's test extension.
bool PressRefresh(const LaunchSetup& setup, TopLevelWatch& watch) {
    const std::string window = std::to_string(watch.window()),
                      at[] = {std::to_string(RefreshButtonX), std::to_string(RefreshButtonY)};
    // No --sync: it waits for ever when the pointer is there already. The server takes the move
    // before the click all the same.
    Child xdotool([&] {
        setenv("DISPLAY", setup.display.c_str(), 1);
        execlp("xdotool", "xdotool", "mousemove", "--window", window.c_str(), at[0].c_str(),
               at[1].c_str(), "click", "1", nullptr);
    });
    return xdotool.WaitFor(std::chrono::seconds(10)) && xdotool.succeeded();
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

// Waits until the program has used no processor time for half a second (its work beside the
// window done too), so that its peak memory is all in.
void WaitUntilIdle(pid_t pid) {
    const auto giveUp = Clock::now() + std::chrono::seconds(60);
    long long last = CpuTicks(pid);
    for (int quiet = 0; quiet < 5 && Clock::now() < giveUp;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const long long now = CpuTicks(pid);
        quiet = now == last ? quiet + 1 : 0;
        last = now;
    }
}

}  // namespace

LaunchSetup::LaunchSetup(std::string programPath, const std::string& displayName)
    : program(std::move(programPath)),
      display(displayName),
      log(open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600)) {
    const std::regex desktop(
        "(DISPLAY|QT_QPA_PLATFORM|WAYLAND_DISPLAY|XDG_CURRENT_DESKTOP|"
        "DESKTOP_SESSION|BROWSER|XDG_SESSION_TYPE)=.*");
    for (char** entry = environ; *entry; ++entry)
        if (!std::regex_match(*entry, desktop)) environment.emplace_back(*entry);
    environment.push_back("DISPLAY=" + display);
    environment.push_back("BROWSER=true");
}

Launch LaunchOnce(const LaunchSetup& setup, Ending ending, int networkNamespace) {
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
        if (ftruncate(setup.log, 0) != 0 || lseek(setup.log, 0, SEEK_SET) != 0) _exit(126);
        dup2(setup.log, 1);
        dup2(setup.log, 2);
        char* argv[] = {const_cast<char*>(setup.program.c_str()), nullptr};
        execve(setup.program.c_str(), argv, envp.data());
    });
    if (!program.started()) {
        result.failure = std::string("fork: ") + std::strerror(errno);
        return result;
    }
    // The counts, and, unless the table is empty, the rows painted: the pixels are read again
    // every millisecond while a paint is awaited.
    const auto seen = [&] {
        return watch.captioned() && watch.painted() &&
               (watch.rowsPainted() || watch.caption().find(" - 0 shown, ") != std::string::npos);
    };
    bool ended = false;
    while (!ended && Clock::now() < start + LaunchTimeout) {
        watch.Update(CountsText);
        if (seen()) break;
        pollfd ready[] = {{watch.fd(), POLLIN, 0}, {program.pidfd(), POLLIN, 0}};
        poll(ready, 2, watch.awaitingPaint() ? 1 : 100);
        ended = ready[1].revents != 0;
    }
    if (!seen()) {
        result.failure = ended ? "the program ended before showing its counts and rows"
                               : "no window with the counts and rows within the time allowed";
        char said[4096];
        const ssize_t length = pread(setup.log, said, sizeof said, 0);
        result.failure += "; the program said:\n" + std::string(said, std::max<ssize_t>(length, 0));
        return result;
    }
    result.windowMs = Ms(*watch.painted() - start);
    result.countsMs = Ms(*watch.captioned() - start);
    if (watch.rowsPainted()) result.rowsMs = Ms(*watch.rowsPainted() - start);
    std::smatch counts;
    if (std::regex_search(watch.caption(), counts, std::regex("(\\d+) shown, (\\d+) hidden")))
        result.rows = std::stoll(counts[1]) + std::stoll(counts[2]);
    if (ending == Ending::AfterRefreshes) {
        WaitUntilIdle(program.pid());
        result.firstPeak = StatusBytes(program.pid(), "VmHWM");
        for (int refresh = 1; refresh <= Refreshes; ++refresh) {
            const int changes = watch.captionChanges();
            const std::string which = "refresh " + std::to_string(refresh);
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
        result.sessionPeak = StatusBytes(program.pid(), "VmHWM");
        result.settled = StatusBytes(program.pid(), "VmRSS");
    }
    const auto asked = Clock::now();
    watch.RequestClose();
    const bool exited = program.WaitFor(ExitTimeout);
    // At least this long when killed: counted before the kill, which may itself take seconds.
    result.exitMs = Ms(Clock::now() - asked);
    if (!exited)
        result.failure = "still running " + std::to_string(ExitTimeout.count()) +
                         " s after the close request; killed";
    result.ok = exited;
    return result;
}
