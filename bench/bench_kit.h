#pragma once

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

// What both benches share: times, medians and goals, the RESULT lines, child processes and what
// /proc tells of them.

using Clock = std::chrono::steady_clock;
inline constexpr double NotMeasured = NAN;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <class Work>
double MsOf(Work&& work) {
    const auto start = Clock::now();
    work();
    return Ms(Clock::now() - start);
}

// The middle value; NotMeasured when there is none.
double Median(std::vector<double> values);
double Worst(const std::vector<double>& values);

// The figures of one table, each with a value a run, printed as a RESULT line of their medians
// after the machine's cores and load.
class Figures {
public:
    explicit Figures(std::string head) : head_(std::move(head)) {}
    void add(const std::string& name, double value);
    double median(const std::string& name) const;
    double worst(const std::string& name) const;
    std::string line() const;

private:
    const std::vector<double>* find(const std::string& name) const;
    std::string head_;
    std::vector<std::pair<std::string, std::vector<double>>> figures_;
};

// Figures held to their goals. finish() prints the RESULT lines, the goals and each figure that
// missed its goal or was not measured, and gives the bench's status: 1 when one did.
class Goals {
public:
    void atMost(const std::string& name, double value, double goal);
    void fail(const std::string& why) { missed_.push_back(why); }
    int finish(const std::vector<std::string>& results, const std::string& goals) const;

private:
    std::vector<std::string> missed_;
};

// The processors this machine has, and its load average over the last minute.
std::string MachineNow();

// A child process running `body` (which ends in exec or _exit), sent `ending` when the bench
// ends, and killed with this.
class Child {
public:
    template <class Body>
    explicit Child(Body body, int ending = SIGKILL) {
        if (Fork(ending) == 0) {
            body();
            _exit(127);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();
    bool started() const { return pidfd_ >= 0; }
    pid_t pid() const { return pid_; }
    int pidfd() const { return pidfd_; }
    // Waits at most `timeout` for the child to end; true once it has, and is reaped.
    bool WaitFor(Clock::duration timeout);
    // Whether it ended of itself with status 0.
    bool succeeded() const;
    void Kill(int signal = SIGKILL);

private:
    pid_t Fork(int ending);
    pid_t pid_ = -1;
    int pidfd_ = -1, status_ = -1;
    bool ended_ = false;
};

// How long `ss` takes with the options, its listing thrown away.
double SsMs(const char* options);

// A field of /proc/PID/status in bytes (VmHWM, VmRSS), and the processor time it has used.
long long StatusBytes(pid_t pid, const char* field);
long long CpuTicks(pid_t pid);
