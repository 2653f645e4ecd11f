#include "core/base/lookup_pool.h"

#include <algorithm>
#include <cassert>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct LookupPool::State : std::enable_shared_from_this<State> {
    struct Job {
        std::uint64_t id;
        Clock::time_point due;
        Lookup lookup;
        bool toldLate = false;
        bool stranded = false;  // its thread was left to wait on it outside the count
    };

    explicit State(const LookupLimits& limits)
        : atOnce(limits.atOnce), strandedAtMost(limits.strandedAtMost) {}

    const int atOnce, strandedAtMost;
    std::mutex mutex;
    std::list<Job> queued;  // the newest at the back
    std::list<Job> running;
    // Threads that take queued lookups, each running one at most; and threads left on a lookup
    // past its due time, each running exactly one. See checkBounds.
    int serving = 0, stranded = 0;
    bool keeping = false;  // a thread keeps the due times

    // What the counts keep, under `mutex`: at most atOnce + strandedAtMost threads look up, and
    // every running lookup has a thread of one kind or the other.
    void checkBounds() const {
        assert(serving >= 0 && serving <= atOnce);
        assert(stranded >= 0 && stranded <= strandedAtMost);
        assert(std::ranges::count_if(running, &Job::stranded) == stranded);
        assert(static_cast<int>(running.size()) - stranded <= serving);
    }

    // Starts threads for the queued lookups, within the bound; a thread that cannot start leaves
    // its lookups to the due time.
    void startServing() {
        while (!queued.empty() && serving < atOnce) {
            try {
                std::thread(&State::serve, shared_from_this()).detach();
            } catch (...) {
                return;
            }
            ++serving;
        }
        checkBounds();
    }

    // A thread that runs the queued lookups, the newest first, until none is left, or until its
    // lookup stranded it and the serving threads are enough without it.
    void serve() {
        std::unique_lock lock(mutex);
        while (!queued.empty()) {
            const auto job = std::prev(queued.end());
            running.splice(running.end(), queued, job);
            lock.unlock();
            try {
                job->lookup.run();
            } catch (...) {
            }
            lock.lock();
            const bool wasStranded = job->stranded;
            running.erase(job);
            if (wasStranded) {
                --stranded;
                if (serving >= atOnce) return checkBounds();
                ++serving;
            }
        }
        --serving;
        checkBounds();
    }

    // Tells each lookup that is late so, once, and strands the thread of a running one while
    // there is room, until no lookup has a due time to come.
    void keepDueTimes() {
        std::unique_lock lock(mutex);
        try {
            for (;;) {
                const Clock::time_point now = Clock::now();
                std::optional<Clock::time_point> next;
                std::vector<std::function<void()>> late;
                const auto look = [&](Job& job, bool isRunning) {
                    if (job.toldLate) return;
                    if (job.due > now) {
                        next = std::min(next.value_or(job.due), job.due);
                        return;
                    }
                    job.toldLate = true;
                    late.push_back(job.lookup.late);
                    if (isRunning && stranded < strandedAtMost) {
                        job.stranded = true;
                        --serving;
                        ++stranded;
                    }
                };
                for (Job& job : queued) look(job, false);
                for (Job& job : running) look(job, true);
                startServing();
                if (late.empty() && !next) break;
                lock.unlock();
                for (const auto& tell : late) {
                    try {
                        if (tell) tell();
                    } catch (...) {
                    }
                }
                late.clear();
                // A lookup added meanwhile is due later, so nothing moves this time earlier.
                if (next) std::this_thread::sleep_until(*next);
                lock.lock();
            }
        } catch (...) {  // no memory: the next lookup added starts another keeper
            if (!lock.owns_lock()) lock.lock();
        }
        keeping = false;
    }
};

LookupPool::LookupPool(const LookupLimits& limits) : state_(std::make_shared<State>(limits)) {}

LookupPool::~LookupPool() {
    const std::lock_guard lock(state_->mutex);
    state_->queued.clear();
}

bool LookupPool::add(std::uint64_t id, Clock::time_point due, Lookup lookup) {
    const std::lock_guard lock(state_->mutex);
    state_->queued.push_back({id, due, std::move(lookup)});
    if (!state_->keeping) {
        try {
            std::thread(&State::keepDueTimes, state_).detach();
            state_->keeping = true;
        } catch (...) {
            state_->queued.pop_back();
            return false;
        }
    }
    state_->startServing();
    return true;
}

void LookupPool::moveToFront(std::uint64_t id) {
    const std::lock_guard lock(state_->mutex);
    auto& queued = state_->queued;
    const auto job = std::ranges::find(queued, id, &State::Job::id);
    if (job != queued.end()) queued.splice(queued.end(), queued, job);
}

void LookupPool::drop(std::uint64_t id) {
    const std::lock_guard lock(state_->mutex);
    std::erase_if(state_->queued, [id](const State::Job& job) { return job.id == id; });
}
