#include <sched.h>

#include <thread>

#include "core/base/usable_cpus.h"

unsigned UsableCpus() {
    cpu_set_t cpus;
    if (sched_getaffinity(0, sizeof cpus, &cpus) != 0) return std::thread::hardware_concurrency();
    return static_cast<unsigned>(CPU_COUNT(&cpus));
}
