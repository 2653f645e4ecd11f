#include "core/names/host_names.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int LookupsAtOnce = 4;
constexpr auto Kept = std::chrono::minutes(10);

// One lookup's answer, handed from the thread that waits for the resolver to its slot.
struct Call {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<std::optional<std::string>> name;
};

}  // namespace

struct HostNames::Shared {
    HostLookup lookup;
    std::function<void(const Ipv4Address&)> answered;  // emptied by the destructor
    std::chrono::milliseconds deadline;
    std::mutex mutex;
    struct Entry {
        HostAnswer answer;
        Clock::time_point answeredAt;
    };
    std::map<Ipv4Address, Entry> entries;
    std::deque<Ipv4Address> waiting;
    int slots = 0;  // threads taking lookups off `waiting`

    // A slot: takes the waiting addresses one at a time until none is left.
    static void Serve(const std::shared_ptr<Shared>& shared);
    // The answer, or nullopt when it was told already, at the deadline.
    std::optional<HostAnswer> LookUp(const Ipv4Address& address);
    void Tell(const Ipv4Address& address, HostAnswer answer);
};

void HostNames::Shared::Tell(const Ipv4Address& address, HostAnswer answer) {
    const std::lock_guard lock(mutex);
    entries[address] = {std::move(answer), Clock::now()};
    if (answered) answered(address);
}

void HostNames::Shared::Serve(const std::shared_ptr<Shared>& shared) {
    for (;;) {
        Ipv4Address address;
        {
            const std::lock_guard lock(shared->mutex);
            if (shared->waiting.empty()) {
                --shared->slots;
                return;
            }
            address = shared->waiting.front();
            shared->waiting.pop_front();
        }
        if (std::optional<HostAnswer> answer = shared->LookUp(address))
            shared->Tell(address, std::move(*answer));
    }
}

// The answer is given at the deadline, but the slot stays taken until the resolver returns, so
// that no more than four lookups ever run.
std::optional<HostAnswer> HostNames::Shared::LookUp(const Ipv4Address& address) {
    auto call = std::make_shared<Call>();
    try {
        std::thread([call, lookup = lookup, address] {
            std::optional<std::string> name;
            try {
                name = lookup(address);
            } catch (...) {
            }
            const std::lock_guard lock(call->mutex);
            call->name = std::move(name);
            call->done.notify_all();
        }).detach();
    } catch (...) {
        return HostAnswer{HostAnswer::Kind::NoName, {}};
    }
    std::unique_lock lock(call->mutex);
    const bool inTime = call->done.wait_for(lock, deadline, [&] { return call->name.has_value(); });
    if (inTime)
        return *call->name ? HostAnswer{HostAnswer::Kind::Named, **call->name}
                           : HostAnswer{HostAnswer::Kind::NoName, {}};
    lock.unlock();
    Tell(address, {HostAnswer::Kind::NoName, {}});  // the late answer is dropped
    lock.lock();
    call->done.wait(lock, [&] { return call->name.has_value(); });
    return std::nullopt;
}

HostNames::HostNames(HostLookup lookup, std::function<void(const Ipv4Address&)> answered,
                     std::chrono::milliseconds deadline)
    : shared_(std::make_shared<Shared>()) {
    shared_->lookup = std::move(lookup);
    shared_->answered = std::move(answered);
    shared_->deadline = deadline;
}

HostNames::~HostNames() {
    const std::lock_guard lock(shared_->mutex);
    shared_->answered = nullptr;
}

HostAnswer HostNames::answerFor(const TcpRow& row) const {
    if (row.state == TcpState::Listen || row.remoteAddress == Ipv4Address{})
        return {HostAnswer::Kind::NoRemoteHost, {}};
    const std::lock_guard lock(shared_->mutex);
    const auto [entry, added] = shared_->entries.try_emplace(row.remoteAddress);
    const bool kept = entry->second.answer.kind == HostAnswer::Kind::LookingUp ||
                      Clock::now() - entry->second.answeredAt < Kept;
    if (!added && kept) return entry->second.answer;
    entry->second = {};
    shared_->waiting.push_back(row.remoteAddress);
    if (shared_->slots < LookupsAtOnce) {
        try {
            std::thread(&Shared::Serve, shared_).detach();
            ++shared_->slots;
        } catch (...) {
            if (shared_->slots == 0) {  // no slot will take it
                shared_->waiting.pop_back();
                entry->second = {{HostAnswer::Kind::NoName, {}}, Clock::now()};
            }
        }
    }
    return entry->second.answer;
}
