#pragma once

#include <chrono>
#include <mutex>

// Work beside the tested code that a test holds waits at the gate while the test keeps it
// locked, for 20 s at most (longer than the watchdog), so that code that waited for the work
// fails the test rather than hangs it.
inline void Pass(std::timed_mutex& gate) {
    const std::unique_lock pass(gate, std::chrono::seconds(20));
}
