#include "core/owners/owner_index.h"

#include <algorithm>
#include <new>
#include <tuple>

#include "core/base/sort_unique.h"

namespace {

using Kind = OwnerFacts::Kind;

// The states in which a Linux socket without inode waits in its listener's queue.
bool WaitsToBeAccepted(std::uint8_t state) {
    return state == TcpState::SynReceived || state == TcpState::Established ||
           state == TcpState::CloseWait;
}

// The states in which Windows holds a connection under the idle process's ID.
bool IsClosing(std::uint8_t state) {
    return state == TcpState::FinWait1 || state == TcpState::FinWait2 ||
           state == TcpState::Closing || state == TcpState::LastAck ||
           state == TcpState::TimeWait || state == TcpState::CloseWait ||
           state == TcpState::Closed || state == TcpState::DeleteTcb;
}

// The order of listeners for finding one: by port, address, then an IPv4 socket before a
// dual-stack one.
auto ListenerKey(const Listener& l) { return std::tuple(l.port, l.address, l.dualStack); }

}  // namespace

std::shared_ptr<const OwnerIndex> FailedIndex(const std::string& why) {
    ProcessTable table;
    table.failure = why;
    return std::make_shared<const OwnerIndex>(table, std::vector<TcpRow>{});
}

OwnerIndex::OwnerIndex(const ProcessTable& table, const std::vector<TcpRow>& rows)
    : noSocket_(table.noSocket), someUnreadable_(table.someUnreadable), failure_(table.failure) {
    // The sockets the rows name, and for a row queued in a listener, its port's listeners.
    std::vector<std::uint32_t> wanted;
    std::vector<NetworkPort> queuedPorts;
    for (const TcpRow& row : rows) {
        if (row.holderKey != 0)
            wanted.push_back(row.holderKey);
        else if (noSocket_ == NoSocket::QueuedOrClosing && WaitsToBeAccepted(row.state))
            queuedPorts.push_back(row.localPort);
    }
    SortUnique(queuedPorts);
    for (const Listener& listener : table.listeners) {
        if (!std::ranges::binary_search(queuedPorts, listener.port)) continue;
        listeners_.push_back(listener);
        wanted.push_back(listener.inode);
    }
    std::ranges::sort(listeners_, {}, ListenerKey);
    SortUnique(wanted);
    const auto isWanted = [&](std::uint32_t socket) {
        return std::ranges::binary_search(wanted, socket);
    };

    std::vector<const ProcessTable::Process*> holding;
    for (const ProcessTable::Process& process : table.processes)
        if (std::ranges::any_of(process.sockets, isWanted)) holding.push_back(&process);
    std::ranges::sort(holding, {}, &ProcessTable::Process::pid);
    for (const ProcessTable::Process* process : holding) {
        const auto user =
            static_cast<std::uint32_t>(std::ranges::find(users_, process->user) - users_.begin());
        if (user == users_.size()) users_.push_back(process->user);
        const auto index = static_cast<std::uint32_t>(processes_.size());
        processes_.push_back({process->pid, user, process->name, process->path});
        for (const std::uint32_t socket : process->sockets)
            if (isWanted(socket)) holders_.emplace_back(socket, index);
    }
    SortUnique(holders_);  // a process may hold one socket in several descriptors
    holders_.shrink_to_fit();

    if (someUnreadable_) {
        for (const auto& user : table.rowUsers) {
            if (std::ranges::any_of(rows, [&](const TcpRow& row) { return row.uid == user.first; }))
                rowUsers_.push_back(user);
        }
        SortUnique(rowUsers_);
    }
}

OwnerFacts OwnerIndex::ownerOf(const TcpRow& row) const {
    if (!failure_.empty()) return {Kind::Unknown, {}, {}, failure_};
    std::vector<std::uint32_t> holding;
    if (row.holderKey == 0 && noSocket_ == NoSocket::ClosingOrUnseen)
        return {IsClosing(row.state) ? Kind::Closing : Kind::Hidden, {}, {}, {}};
    if (row.holderKey == 0) {
        if (!WaitsToBeAccepted(row.state)) return {Kind::Closing, {}, {}, {}};
        for (const std::uint32_t inode : listenersOf(row)) addHolders(inode, holding);
        return facts(Kind::Queued, std::move(holding));
    }
    addHolders(row.holderKey, holding);
    if (!holding.empty()) return facts(Kind::Held, std::move(holding));
    if (!someUnreadable_) return {Kind::Closed, {}, {}, {}};
    OwnerFacts hidden{Kind::Hidden, {}, {}, {}};
    const auto user =
        std::ranges::lower_bound(rowUsers_, row.uid, {}, [](const auto& u) { return u.first; });
    if (user != rowUsers_.end() && user->first == row.uid) hidden.users.push_back(user->second);
    return hidden;
}

void OwnerIndex::addHolders(std::uint32_t socket, std::vector<std::uint32_t>& processes) const {
    for (auto holder = std::ranges::lower_bound(holders_, std::pair(socket, 0u));
         holder != holders_.end() && holder->first == socket; ++holder)
        processes.push_back(holder->second);
}

// The inodes of the listeners that take connections to the row's local address and port: those
// on that address, else those on 0.0.0.0, else those on a dual-stack [::].
std::vector<std::uint32_t> OwnerIndex::listenersOf(const TcpRow& row) const {
    std::vector<std::uint32_t> inodes;
    for (const auto& [address, dualStack] :
         {std::pair(row.localAddress, false), std::pair(Ipv4Address{}, false),
          std::pair(Ipv4Address{}, true)}) {
        const auto key = std::tuple(row.localPort, address, dualStack);
        for (auto listener = std::ranges::lower_bound(listeners_, key, {}, ListenerKey);
             listener != listeners_.end() && ListenerKey(*listener) == key; ++listener)
            inodes.push_back(listener->inode);
        if (!inodes.empty()) break;
    }
    return inodes;
}

// The facts of the processes at those places in processes_, which are in pid order.
OwnerFacts OwnerIndex::facts(Kind kind, std::vector<std::uint32_t> processes) const {
    SortUnique(processes);
    OwnerFacts facts{kind, {}, {}, {}};
    for (const std::uint32_t index : processes) {
        const Process& process = processes_[index];
        facts.holders.push_back({process.pid, process.name, process.path});
        const std::string& user = users_[process.user];
        if (!user.empty() && std::ranges::find(facts.users, user) == facts.users.end())
            facts.users.push_back(user);
    }
    return facts;
}

std::shared_ptr<const OwnerIndex> IndexOrFailure(
    const std::function<std::shared_ptr<const OwnerIndex>()>& look) noexcept {
    // Made before any look, for when not even the failure's own index can be made.
    static const auto outOfMemory = FailedIndex("out of memory"),
                      unknown = FailedIndex("unknown failure");
    try {
        return look();
    } catch (const std::bad_alloc&) {
        return outOfMemory;
    } catch (const std::exception& error) {
        try {
            return FailedIndex(error.what());
        } catch (...) {
            return outOfMemory;
        }
    } catch (...) {
        return unknown;
    }
}
