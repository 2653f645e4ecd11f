#include "bench/bench_kit.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

double Median(std::vector<double> values) {
    std::erase_if(values, [](double value) { return std::isnan(value); });
    if (values.empty()) return NotMeasured;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Worst(const std::vector<double>& values) {
    return values.empty() ? NotMeasured : *std::ranges::max_element(values);
}

void Figures::add(const std::string& name, double value) {
    const auto known = std::ranges::find(figures_, name, &decltype(figures_)::value_type::first);
    if (known == figures_.end())
        figures_.push_back({name, {value}});
    else
        known->second.push_back(value);
}

const std::vector<double>* Figures::find(const std::string& name) const {
    const auto known = std::ranges::find(figures_, name, &decltype(figures_)::value_type::first);
    return known == figures_.end() ? nullptr : &known->second;
}

double Figures::median(const std::string& name) const {
    return find(name) ? Median(*find(name)) : NotMeasured;
}

double Figures::worst(const std::string& name) const {
    return find(name) ? Worst(*find(name)) : NotMeasured;
}

std::string Figures::line() const {
    std::string line = "RESULT " + MachineNow() + " " + head_;
    char value[64];
    for (const auto& [name, values] : figures_) {
        const double median = Median(values);
        std::snprintf(value, sizeof value, " %s=%.*f", name.c_str(),
                      median == std::round(median) ? 0
                      : median < 10                ? 2
                                                   : 1,
                      median);
        line += value;
    }
    return line;
}

void Goals::atMost(const std::string& name, double value, double goal) {
    if (value <= goal) return;
    char line[200];
    std::snprintf(line, sizeof line, "%s: %.2f, goal %.2f%s", name.c_str(), value, goal,
                  std::isnan(value) ? " (not measured)" : "");
    missed_.emplace_back(line);
}

int Goals::finish(const std::vector<std::string>& results, const std::string& goals) const {
    std::printf("goals: %s\n", goals.c_str());
    for (const std::string& line : results) std::puts(line.c_str());
    for (const std::string& missed : missed_) std::printf("MISSED %s\n", missed.c_str());
    return missed_.empty() ? 0 : 1;
}

std::string MachineNow() {
    double load = NotMeasured;
    std::ifstream("/proc/loadavg") >> load;
    char text[64];
    std::snprintf(text, sizeof text, "cores=%u load=%.2f", std::thread::hardware_concurrency(),
                  load);
    return text;
}

pid_t Child::Fork(int ending) {
    pid_ = fork();
    if (pid_ == 0) prctl(PR_SET_PDEATHSIG, ending);
    if (pid_ > 0) pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    return pid_;
}

Child::~Child() {
    Kill();
    if (pidfd_ >= 0) close(pidfd_);
}

bool Child::WaitFor(Clock::duration timeout) {
    if (ended_) return true;
    pollfd ended{pidfd_, POLLIN, 0};
    if (poll(&ended, 1, static_cast<int>(Ms(timeout))) != 1) return false;
    waitpid(pid_, &status_, 0);
    return ended_ = true;
}

bool Child::succeeded() const { return ended_ && WIFEXITED(status_) && WEXITSTATUS(status_) == 0; }

void Child::Kill(int signal) {
    if (pid_ <= 0 || ended_) return;
    kill(pid_, signal);
    if (signal != SIGKILL && WaitFor(std::chrono::seconds(5))) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    ended_ = true;
}

double SsMs(const char* options) {
    // Spawned, not forked: a copy of a bench that holds a large table would cost ss its time.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("ss"), const_cast<char*>(options), nullptr};
    const double ms = MsOf([&] {
        pid_t pid = 0;
        if (posix_spawnp(&pid, "ss", &actions, nullptr, argv, environ) == 0)
            waitpid(pid, nullptr, 0);
    });
    posix_spawn_file_actions_destroy(&actions);
    return ms;
}

long long StatusBytes(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(std::string(field) + ":"))
            return std::stoll(line.substr(line.find(':') + 1)) * 1024;
    return 0;
}

long long CpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(std::min(text.rfind(')') + 2, text.size())));
    std::string field;
    long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stoll(field);
        if (i == 15) system = std::stoll(field);
    }
    return user + system;
}
