#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// How lookups on demand share out their threads and keep their answers.
// At most atOnce + strandedAtMost threads look up, and one more keeps the deadlines.
struct LookupLimits {
    int atOnce;                          // lookups under way within their deadline
    int strandedAtMost;                  // threads left waiting on lookups past their deadline
    std::chrono::milliseconds deadline;  // from a key's first question to its answer
    std::chrono::milliseconds kept;      // how long an answer is kept
    std::size_t keptAtMost;              // keys kept at once (answered or not); the oldest go first
};

// Runs lookups that may take long or never return, each on a thread beside the asker, the newest
// first, `atOnce` at a time. Each has a due time: then it is told that it is late, whether it is
// still queued or running, and a running one's thread is stranded (left to wait on it outside the
// count, `strandedAtMost` such threads at most) so that the next lookups go on. Nothing waits for
// a lookup, not even the destructor: a running lookup ends on its own thread, which holds only
// the pool's shared state; the queued ones are dropped.
class LookupPool {
public:
    using Clock = std::chrono::steady_clock;
    struct Lookup {
        std::function<void()> run;   // on a thread of the pool; what it throws is dropped
        std::function<void()> late;  // once, at the due time, if that comes before its end
    };

    explicit LookupPool(const LookupLimits& limits);
    ~LookupPool();
    LookupPool(const LookupPool&) = delete;
    LookupPool& operator=(const LookupPool&) = delete;

    // Queues a lookup before the others queued. False when nothing could keep its due time (no
    // thread could start): the caller is late at once. Never calls the lookup's functions itself.
    bool add(std::uint64_t id, Clock::time_point due, Lookup lookup);
    // A queued lookup asked for again goes before the others queued; nothing for any other.
    void moveToFront(std::uint64_t id);
    // A queued lookup that nobody waits for any more is dropped; a running one goes on, and
    // counts as before.
    void drop(std::uint64_t id);

private:
    struct State;
    std::shared_ptr<State> state_;
};
