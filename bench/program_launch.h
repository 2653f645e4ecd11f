#pragma once

#include <string>
#include <vector>

#include "bench/bench_kit.h"

// One launch of the program on a private X server, watched from outside as a user meets it.

// Where the program runs: the private display, the caller's environment without its desktop
// (BROWSER=true, which Qt and xdg-open both take, for the page opened on exit), and a log
// without a name, which goes with the bench.
struct LaunchSetup {
    LaunchSetup(std::string program, const std::string& display);
    std::string program, display;
    std::vector<std::string> environment;
    int log;
};

struct Launch {
    bool ok = false;
    std::string failure;
    double windowMs = NotMeasured, countsMs = NotMeasured, rowsMs = NotMeasured,
           exitMs = NotMeasured;
    long long firstPeak = 0, sessionPeak = 0, settled = 0;  // bytes
    long long rows = 0;                                     // shown and hidden
};

inline constexpr int Refreshes = 10;
enum class Ending { AfterRefreshes, ExitAtOnce };

// From exec to the window painted (the first pixels of its client area that are not the root's
// black), to the counts in its caption and to the rows painted; then either ten refreshes, each
// clicked, left to end and the program to rest, with the peak and settled memory, or at once the
// time from the close request to its end. In the given network namespace, else the bench's.
Launch LaunchOnce(const LaunchSetup& setup, Ending ending, int networkNamespace = -1);
