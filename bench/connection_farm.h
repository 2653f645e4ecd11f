#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_kit.h"

// Holds a number of established loopback connections open in child processes, so the table
// grows past what one process may keep open. Both ends of each connection are in the table.
class ConnectionFarm {
public:
    ~ConnectionFarm();
    // Opens connections until count are established, telling `progress` how many are open after
    // each child; false with the reason on failure, keeping those already open.
    bool grow(int count, std::string* why, const std::function<void(int opened)>& progress = {});
    void closeAll();
    int opened() const { return opened_; }

private:
    // A child of the farm, which ends with the bench too, and its end of their pipe.
    struct Grower {
        std::unique_ptr<Child> process;
        int pipe;
    };
    std::vector<Grower> children_;
    int opened_ = 0;
};

// Moves this process into a network namespace of its own with loopback up and the whole port
// range free for clients.
bool EnterBenchNamespace(std::string* why);

// A network namespace of its own, empty, for launches to compare with: its descriptor, for
// setns(), or -1 with the reason. Leaves this process in it, to be moved on by
// EnterBenchNamespace.
int EmptyNetworkNamespace(std::string* why);
