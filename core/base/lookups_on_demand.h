#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "core/base/lookup_pool.h"

// Answers that take a while to come (a name from a resolver, figures from the kernel), each looked
// up beside the asker when first asked for, so that a question never waits. The key asked most
// recently is looked up first, a few at once (a LookupPool). Every key has its answer by the
// deadline: a lookup still under way then counts as `timedOut`, and the answer, if it comes at
// last, replaces it. Answers are kept for a while, for the keys asked last. A lookup that throws
// answers `timedOut`.
template <class Key, class Answer>
class LookupsOnDemand {
public:
    using Lookup = std::function<Answer(const Key&)>;
    // Told of each answer, on a thread beside the asker, never once the destructor has run. It is
    // called with no lock of the lookups held, so it may ask again; it must not destroy them.
    using Answered = std::function<void(const Key&)>;

    LookupsOnDemand(Lookup lookup, Answer timedOut, LookupLimits limits, Answered answered)
        : shared_(std::make_shared<Shared>(std::move(lookup), std::move(timedOut), limits,
                                           std::move(answered))),
          pool_(limits) {}
    ~LookupsOnDemand() {
        const std::lock_guard lock(shared_->telling);
        shared_->answered = nullptr;
    }
    LookupsOnDemand(const LookupsOnDemand&) = delete;
    LookupsOnDemand& operator=(const LookupsOnDemand&) = delete;

    // The answer known for the key, or nothing while it is looked up; a key not asked before, or
    // whose answer has expired, is looked up. Only locks, queues and at most starts a thread.
    std::optional<Answer> answerFor(const Key& key) const;

private:
    using Clock = LookupPool::Clock;

    // A key kept: its answer, and the lookup that will give it.
    struct Entry {
        std::optional<Answer> answer;  // none while looked up
        std::uint64_t lookup = 0;      // the last lookup asked for; ids grow
        std::uint64_t answeredBy = 0;  // the lookup whose answer this is; 0 for `timedOut`
        Clock::time_point answeredAt;
        typename std::list<Key>::iterator age;
    };

    // What the lookups share with the asker: the cache of answers, bounded in size and age.
    struct Shared {
        Shared(Lookup lookup, Answer timedOut, LookupLimits limits, Answered answered)
            : lookup(std::move(lookup)),
              timedOut(std::move(timedOut)),
              limits(limits),
              answered(std::move(answered)) {}

        const Lookup lookup;
        const Answer timedOut;
        const LookupLimits limits;
        std::mutex mutex;  // over the cache
        std::map<Key, Entry> entries;
        std::list<Key> byAge;  // the keys of `entries`, the one asked longest ago first
        std::uint64_t lastLookup = 0;
        std::mutex telling;  // over `answered`, emptied by the destructor
        Answered answered;

        bool expired(const Entry& entry, Clock::time_point now) const {
            return entry.answer && now - entry.answeredAt >= limits.kept;
        }

        // Keeps what a lookup found, unless the key was dropped since or a newer lookup answered.
        void settle(const Key& key, std::uint64_t lookup, std::optional<Answer> found) {
            {
                const std::lock_guard lock(mutex);
                const auto place = entries.find(key);
                if (place == entries.end() || place->second.answeredBy > lookup) return;
                Entry& entry = place->second;
                entry.answer = found ? std::move(*found) : timedOut;
                entry.answeredBy = found ? lookup : 0;
                entry.answeredAt = Clock::now();
            }
            tell(key);
        }

        // Answers `timedOut` for a key still without an answer at the deadline of its lookup.
        void timeOut(const Key& key, std::uint64_t lookup) {
            {
                const std::lock_guard lock(mutex);
                const auto place = entries.find(key);
                if (place == entries.end() || place->second.lookup != lookup ||
                    place->second.answer)
                    return;
                place->second.answer = timedOut;
                place->second.answeredAt = Clock::now();
            }
            tell(key);
        }

        void tell(const Key& key) {
            const std::lock_guard lock(telling);
            if (answered) answered(key);
        }
    };

    std::shared_ptr<Shared> shared_;
    mutable LookupPool pool_;
};

template <class Key, class Answer>
std::optional<Answer> LookupsOnDemand<Key, Answer>::answerFor(const Key& key) const {
    Shared& shared = *shared_;
    const std::lock_guard lock(shared.mutex);
    const Clock::time_point now = Clock::now();
    const auto [place, added] = shared.entries.try_emplace(key);
    Entry& entry = place->second;
    if (!added) shared.byAge.erase(entry.age);
    entry.age = shared.byAge.insert(shared.byAge.end(), key);
    // The bound, and the answers expired, the keys asked longest ago first. A lookup under way
    // for a key dropped goes on, and counts in the pool as before.
    while (shared.entries.size() > shared.limits.keptAtMost ||
           shared.expired(shared.entries.at(shared.byAge.front()), now)) {
        const auto oldest = shared.entries.find(shared.byAge.front());
        if (oldest == place) break;
        pool_.drop(oldest->second.lookup);
        shared.entries.erase(oldest);
        shared.byAge.pop_front();
    }
    if (!added && !shared.expired(entry, now)) {
        if (!entry.answer) pool_.moveToFront(entry.lookup);
        return entry.answer;
    }
    entry.answer.reset();
    const std::uint64_t id = entry.lookup = ++shared.lastLookup;
    const LookupPool::Lookup lookup{[weak = std::weak_ptr(shared_), key, id] {
                                        if (const auto shared = weak.lock()) {
                                            std::optional<Answer> found;
                                            try {
                                                found = shared->lookup(key);
                                            } catch (...) {
                                            }
                                            shared->settle(key, id, std::move(found));
                                        }
                                    },
                                    [weak = std::weak_ptr(shared_), key, id] {
                                        if (const auto shared = weak.lock())
                                            shared->timeOut(key, id);
                                    }};
    if (pool_.add(id, now + shared.limits.deadline, lookup)) return std::nullopt;
    // Nothing would keep the deadline: it is now.
    entry.answer = shared.timedOut;
    entry.answeredAt = now;
    return entry.answer;
}
