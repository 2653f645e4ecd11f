#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

// How lookups on demand share out their threads and keep their answers.
// At most atOnce + strandedAtMost threads look up, and one more keeps the deadlines.
struct LookupLimits {
    int atOnce;                          // lookups under way within their deadline
    int strandedAtMost;                  // threads left waiting on lookups past their deadline
    std::chrono::milliseconds deadline;  // from a key's first question to its answer
    std::chrono::milliseconds kept;      // how long an answer is kept
    std::size_t keptAtMost;              // keys kept at once (answered or not); the oldest go first
};

// Answers that take a while to come (a name from a resolver, figures from the kernel), each looked
// up beside the asker when first asked for, so that a question never waits. The key asked most
// recently is looked up first, a few at once. Every key has its answer by the deadline: a lookup
// still under way then counts as `timedOut`, and its thread is left waiting on it (stranded)
// without holding up the others; the answer, if it comes at last, replaces `timedOut`. Threads and
// answers are bounded. Nothing waits for a lookup, not even the destructor: a lookup cannot be
// cancelled, so it ends on its own thread, which holds only shared state. A lookup that throws
// answers `timedOut`.
template <class Key, class Answer>
class LookupsOnDemand {
public:
    using Lookup = std::function<Answer(const Key&)>;
    // Told of each answer, on a thread beside the asker, never once the destructor has run.
    using Answered = std::function<void(const Key&)>;

    LookupsOnDemand(Lookup lookup, Answer timedOut, LookupLimits limits, Answered answered)
        : shared_(std::make_shared<Shared>(std::move(lookup), std::move(timedOut), limits,
                                           std::move(answered))) {}
    ~LookupsOnDemand() {
        const std::lock_guard lock(shared_->mutex);
        shared_->answered = nullptr;
    }
    LookupsOnDemand(const LookupsOnDemand&) = delete;
    LookupsOnDemand& operator=(const LookupsOnDemand&) = delete;

    // The answer known for the key, or nothing while it is looked up; a key not asked before, or
    // whose answer has expired, is looked up. Only locks, queues and at most starts a thread.
    std::optional<Answer> answerFor(const Key& key) const { return shared_->answerFor(key); }

private:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        std::optional<Answer> answer;  // none while looked up
        bool settled = false;          // the lookup itself answered
        Clock::time_point asked, answeredAt;
        // The lookup under way, and whether it is past its deadline (stranded).
        std::shared_ptr<bool> underWay;
        typename std::list<Key>::iterator age;
    };

    struct Shared : std::enable_shared_from_this<Shared> {
        Shared(Lookup lookup, Answer timedOut, LookupLimits limits, Answered answered)
            : lookup(std::move(lookup)),
              timedOut(std::move(timedOut)),
              limits(limits),
              answered(std::move(answered)) {}

        const Lookup lookup;
        const Answer timedOut;
        const LookupLimits limits;
        std::mutex mutex;
        Answered answered;  // emptied by the destructor
        std::map<Key, Entry> entries;
        std::list<Key> byAge;     // the keys of `entries`, the oldest question first
        std::deque<Key> waiting;  // the newest question at the back
        int underWay = 0;         // threads serving `waiting`
        int stranded = 0;         // threads waiting on a lookup past its deadline
        bool keepingDeadlines = false;

        std::optional<Answer> answerFor(const Key& key) {
            const std::lock_guard lock(mutex);
            const Clock::time_point now = Clock::now();
            const auto [place, added] = entries.try_emplace(key);
            Entry& entry = place->second;
            if (!added) {
                if (!entry.answer || now - entry.answeredAt < limits.kept) return entry.answer;
                byAge.erase(entry.age);
            }
            entry.answer.reset();
            entry.settled = false;
            entry.asked = now;
            entry.age = byAge.insert(byAge.end(), key);
            waiting.push_back(key);
            dropOldest(now);
            if (!keepingDeadlines) {
                try {
                    std::thread(&Shared::keepDeadlines, this->shared_from_this()).detach();
                    keepingDeadlines = true;
                } catch (...) {
                    // Nothing would keep the deadline: it is now.
                    entry.answer = timedOut;
                    entry.answeredAt = now;
                    return entry.answer;
                }
            }
            serveWaiting();
            return std::nullopt;
        }

        // Keeps `keptAtMost` keys and drops expired answers, the oldest questions first.
        void dropOldest(Clock::time_point now) {
            while (!byAge.empty()) {
                const auto oldest = entries.find(byAge.front());
                const bool expired =
                    oldest->second.answer && now - oldest->second.answeredAt >= limits.kept;
                if (!expired && entries.size() <= limits.keptAtMost) break;
                entries.erase(oldest);
                byAge.pop_front();
            }
            while (waiting.size() > limits.keptAtMost) waiting.pop_front();
        }

        // Starts threads for the waiting keys, within the bounds.
        void serveWaiting() {
            while (!waiting.empty() && underWay < limits.atOnce) {
                try {
                    std::thread(&Shared::serve, this->shared_from_this()).detach();
                } catch (...) {
                    return;  // the deadline answers meanwhile
                }
                ++underWay;
            }
        }

        void tell(const Key& key) {
            if (answered) answered(key);
        }

        // A thread that looks up the waiting keys, the newest first, until none is left or this
        // thread was stranded and the others are enough.
        void serve() {
            std::unique_lock lock(mutex);
            bool counted = true;  // among those under way
            try {
                while (!waiting.empty()) {
                    const Key key = waiting.back();
                    waiting.pop_back();
                    const auto place = entries.find(key);
                    if (place == entries.end() || place->second.settled || place->second.underWay)
                        continue;
                    const auto strandedFlag = std::make_shared<bool>(false);
                    place->second.underWay = strandedFlag;
                    lock.unlock();
                    std::optional<Answer> found;
                    try {
                        found = lookup(key);
                    } catch (...) {
                    }
                    lock.lock();
                    const bool wasStranded = *strandedFlag;
                    if (wasStranded) {
                        --stranded;
                        counted = false;
                    }
                    settle(key, strandedFlag, std::move(found));
                    if (wasStranded) {
                        if (underWay >= limits.atOnce) return;
                        ++underWay;
                        counted = true;
                    }
                }
            } catch (...) {  // no memory: this thread's part ends
            }
            if (counted) --underWay;
        }

        // Keeps what the lookup that `strandedFlag` marks found, unless the key was dropped since.
        void settle(const Key& key, const std::shared_ptr<bool>& strandedFlag,
                    std::optional<Answer> found) {
            const auto place = entries.find(key);
            if (place == entries.end() || place->second.underWay != strandedFlag) return;
            Entry& entry = place->second;
            entry.underWay.reset();
            entry.settled = true;
            entry.answer = found ? std::move(*found) : timedOut;
            entry.answeredAt = Clock::now();
            tell(key);
        }

        // Answers `timedOut` for each key whose deadline has passed, and strands its lookup,
        // until no key waits for its answer.
        void keepDeadlines() {
            std::unique_lock lock(mutex);
            try {
                for (;;) {
                    std::optional<Clock::time_point> next;
                    const Clock::time_point now = Clock::now();
                    for (auto& [key, entry] : entries) {
                        if (entry.answer) continue;
                        if (const auto due = entry.asked + limits.deadline; due > now) {
                            next = std::min(next.value_or(due), due);
                            continue;
                        }
                        entry.answer = timedOut;
                        entry.answeredAt = now;
                        if (entry.underWay && !*entry.underWay &&
                            stranded < limits.strandedAtMost) {
                            *entry.underWay = true;
                            --underWay;
                            ++stranded;
                        }
                        tell(key);
                    }
                    serveWaiting();
                    if (!next) break;
                    // A later question has a later deadline, so nothing moves this one earlier.
                    lock.unlock();
                    std::this_thread::sleep_until(*next);
                    lock.lock();
                }
            } catch (...) {  // no memory: the next question starts another keeper
            }
            keepingDeadlines = false;
        }
    };

    std::shared_ptr<Shared> shared_;
};
