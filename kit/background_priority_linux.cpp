#include <sys/resource.h>
#include <unistd.h>

#include "kit/background_priority.h"

// A nice value, not SCHED_IDLE: a thread of the idle class gets no time on a busy machine, not
// even the little it needs to end, and the process is not gone until every thread has ended.
void RunBelowTheWindow() {
    constexpr int BelowTheWindow = 10;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), BelowTheWindow);
}
