#include <dirent.h>
#include <fcntl.h>
#include <linux/kcmp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "core/socket_owner.h"
#include "core/tcp_table_linux.h"

namespace {

using Kind = OwnerFacts::Kind;

// A number that names a process or a socket: decimal digits only, fitting 32 bits.
std::optional<std::uint32_t> Number(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return {};
    return value;
}

// The inode of a descriptor link that reads "socket:[4242]"; nothing for any other link.
std::optional<std::uint32_t> SocketInode(std::string_view link) {
    constexpr std::string_view prefix = "socket:[";
    if (!link.starts_with(prefix) || !link.ends_with(']')) return {};
    return Number(link.substr(prefix.size(), link.size() - prefix.size() - 1));
}

// The user's name, or the number when the user database has no name for it.
std::string UserName(std::uint32_t uid) {
    std::vector<char> buffer(1024);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return found != nullptr ? std::string(entry.pw_name) : std::to_string(uid);
    }
}

class Directory {
public:
    explicit Directory(int fd) : dir_(fd >= 0 ? fdopendir(fd) : nullptr) {
        if (fd >= 0 && dir_ == nullptr) close(fd);
    }
    ~Directory() {
        if (dir_ != nullptr) closedir(dir_);
    }
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    bool isOpen() const { return dir_ != nullptr; }
    int fd() const { return dirfd(dir_); }
    // The next entry's name; null at the end.
    const char* Next() {
        const dirent* entry = readdir(dir_);
        return entry != nullptr ? entry->d_name : nullptr;
    }

private:
    DIR* dir_;
};

// The program name in /proc/<pid>/comm, without its closing newline; nothing once it ended.
std::optional<std::string> ProgramName(int processDir) {
    const int fd = openat(processDir, "comm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char text[64];
    const ssize_t count = read(fd, text, sizeof text);
    close(fd);
    if (count <= 0) return {};
    std::string_view name(text, static_cast<std::size_t>(count));
    if (name.ends_with('\n')) name.remove_suffix(1);
    return std::string(name);
}

struct Process {
    std::uint32_t pid;
    std::uint32_t uid;  // effective
    std::string name;
};

// What a look at some of the processes found.
struct Found {
    std::vector<Process> holders;                                  // processes with sockets
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sockets;  // socket inode, pid
    std::vector<std::uint32_t> uids;  // every process's user, for the names to know
    bool refused = false;             // some process's descriptors could not be read
};

enum class Listing { Gone, Refused, Read };

// Adds the sockets among the descriptors in `directory` (a process's or a thread's "fd").
Listing AddSockets(int parent, const char* directory, std::uint32_t pid, Found& found,
                   bool* empty) {
    Directory descriptors(openat(parent, directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!descriptors.isOpen())
        return errno == EACCES || errno == EPERM ? Listing::Refused : Listing::Gone;
    char link[64];
    *empty = true;
    while (const char* fd = descriptors.Next()) {
        if (fd[0] == '.') continue;
        *empty = false;
        const ssize_t length = readlinkat(descriptors.fd(), fd, link, sizeof link);
        if (length <= 0) continue;
        if (const auto inode = SocketInode({link, static_cast<std::size_t>(length)}))
            found.sockets.emplace_back(*inode, pid);
    }
    return Listing::Read;
}

// True when the two threads share one descriptor table; false when unsure.
bool ShareDescriptors(std::uint32_t a, std::uint32_t b) {
    return syscall(SYS_kcmp, a, b, KCMP_FILES, 0, 0) == 0;
}

// Adds the sockets of one process. When its main thread has exited, the process's own "fd"
// is empty (or refused: it then belongs to root) while its other threads still hold their
// descriptors, so those are read instead; threads that share one table are read once.
void AddProcess(int proc, std::uint32_t pid, Found& found) {
    const std::string entry = std::to_string(pid);
    const int processDir = openat(proc, entry.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (processDir < 0) return;  // ended
    // /proc/<pid> itself always belongs to the process's effective user.
    struct stat owner {};
    const bool ownerKnown = fstat(processDir, &owner) == 0;
    if (ownerKnown) found.uids.push_back(owner.st_uid);
    const std::size_t before = found.sockets.size();
    bool empty = true;
    Listing listing = AddSockets(processDir, "fd", pid, found, &empty);
    if (listing != Listing::Gone && empty) {
        Directory tasks(openat(processDir, "task", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        std::vector<std::uint32_t> read;
        while (const char* name = tasks.isOpen() ? tasks.Next() : nullptr) {
            const auto tid = Number(name);
            if (!tid || *tid == pid ||
                std::ranges::any_of(read, [&](auto r) { return ShareDescriptors(r, *tid); }))
                continue;
            const Listing thread =
                AddSockets(tasks.fd(), (std::string(name) + "/fd").c_str(), pid, found, &empty);
            if (thread == Listing::Read) read.push_back(*tid);
            listing = std::max(listing, thread);
        }
    }
    found.refused |= listing == Listing::Refused;
    std::optional<std::string> name;
    if (found.sockets.size() > before && ownerKnown) name = ProgramName(processDir);
    close(processDir);
    if (name)
        found.holders.push_back({pid, owner.st_uid, std::move(*name)});
    else
        found.sockets.resize(before);  // ended meanwhile
}

// The states in which a socket without inode waits in its listener's queue.
bool WaitsToBeAccepted(std::uint8_t state) {
    return state == TcpState::SynReceived || state == TcpState::Established ||
           state == TcpState::CloseWait;
}

// The order of listeners for finding one: by port, address, then an IPv4 socket before a
// dual-stack one.
auto ListenerKey(const Listener& l) {
    return std::tuple(l.port[0], l.port[1], l.address, l.dualStack);
}

// Every process's open sockets, from the "socket:[N]" links in /proc/<pid>/fd. The kernel
// takes microseconds per descriptor, so the processes are shared out among the processors.
class ProcessLook final : public OwnerIndex {
public:
    // False when stopped early.
    bool Take(std::stop_token stop) {
        Directory proc(open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!proc.isOpen()) {
            failure_ = std::string("/proc: ") + std::strerror(errno);
            return true;
        }
        listeners_ = ReadNetlinkListeners().value_or(std::vector<Listener>{});
        std::ranges::sort(listeners_, {}, ListenerKey);
        std::vector<std::uint32_t> pids;
        while (const char* entry = proc.Next()) {
            if (const auto pid = Number(entry)) pids.push_back(*pid);
        }
        std::vector<Found> parts(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
        std::atomic<std::size_t> next = 0;
        const auto scan = [&](Found& part) {
            for (std::size_t i; !stop.stop_requested() && (i = next++) < pids.size();)
                AddProcess(proc.fd(), pids[i], part);
        };
        {
            // The helpers run at the caller's priority, which they inherit.
            std::vector<std::jthread> helpers;
            for (std::size_t i = 1; i < parts.size(); ++i)
                helpers.emplace_back(scan, std::ref(parts[i]));
            scan(parts[0]);
        }
        if (stop.stop_requested()) return false;
        std::vector<std::uint32_t> uids;
        for (Found& part : parts) {
            std::ranges::move(part.holders, std::back_inserter(holders_));
            sockets_.insert(sockets_.end(), part.sockets.begin(), part.sockets.end());
            uids.insert(uids.end(), part.uids.begin(), part.uids.end());
            refused_ |= part.refused;
        }
        std::ranges::sort(holders_, {}, &Process::pid);
        std::ranges::sort(sockets_);
        sockets_.erase(std::unique(sockets_.begin(), sockets_.end()), sockets_.end());
        std::ranges::sort(uids);
        uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
        for (const std::uint32_t uid : uids) {
            if (stop.stop_requested()) return false;
            userNames_.emplace_back(uid, UserName(uid));
        }
        return true;
    }

    OwnerFacts OwnerOf(const TcpRow& row) const override {
        if (!failure_.empty()) return {Kind::Unknown, {}, {}, failure_};
        std::vector<std::uint32_t> pids;
        if (row.socket == 0) {
            if (!WaitsToBeAccepted(row.state)) return {Kind::Closing, {}, {}, {}};
            for (const std::uint32_t inode : ListenersOf(row)) AddHolders(inode, pids);
            std::ranges::sort(pids);
            pids.erase(std::unique(pids.begin(), pids.end()), pids.end());
            return Facts(Kind::Queued, pids);
        }
        AddHolders(row.socket, pids);
        if (!pids.empty()) return Facts(Kind::Held, pids);
        if (refused_) return {Kind::Hidden, {}, {User(row.uid)}, {}};
        return {Kind::Closed, {}, {}, {}};
    }

private:
    void AddHolders(std::uint32_t inode, std::vector<std::uint32_t>& pids) const {
        for (auto socket = std::ranges::lower_bound(sockets_, std::pair(inode, 0u));
             socket != sockets_.end() && socket->first == inode; ++socket)
            pids.push_back(socket->second);
    }

    // The inodes of the listeners that take connections to the row's local address and port:
    // those on that address, else those on 0.0.0.0, else those on a dual-stack [::].
    std::vector<std::uint32_t> ListenersOf(const TcpRow& row) const {
        std::vector<std::uint32_t> inodes;
        for (const auto& [address, dualStack] :
             {std::pair(row.localAddress, false), std::pair(Ipv4Address{}, false),
              std::pair(Ipv4Address{}, true)}) {
            const auto key = std::tuple(row.localPort[0], row.localPort[1], address, dualStack);
            for (auto listener = std::ranges::lower_bound(listeners_, key, {}, ListenerKey);
                 listener != listeners_.end() && ListenerKey(*listener) == key; ++listener)
                inodes.push_back(listener->inode);
            if (!inodes.empty()) break;
        }
        return inodes;
    }

    // The facts of the processes `pids` (in ascending order).
    OwnerFacts Facts(Kind kind, const std::vector<std::uint32_t>& pids) const {
        OwnerFacts facts{kind, {}, {}, {}};
        for (const std::uint32_t pid : pids) {
            const auto process = std::ranges::lower_bound(holders_, pid, {}, &Process::pid);
            facts.holders.push_back({pid, process->name});
            std::string user = User(process->uid);
            if (std::ranges::find(facts.users, user) == facts.users.end())
                facts.users.push_back(std::move(user));
        }
        return facts;
    }

    std::string User(std::uint32_t uid) const {
        const auto known = std::ranges::lower_bound(userNames_, uid, {}, &UserNameOf::first);
        if (known != userNames_.end() && known->first == uid) return known->second;
        return UserName(uid);  // no process of that user was seen
    }

    using UserNameOf = std::pair<std::uint32_t, std::string>;
    std::vector<Process> holders_;                                  // by pid
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sockets_;  // socket inode, pid
    std::vector<Listener> listeners_;                               // in ListenerKey order
    std::vector<UserNameOf> userNames_;                             // by uid
    bool refused_ = false;
    std::string failure_;
};

}  // namespace

OwnerLookup SystemOwnerLookup() {
    return
        [](const std::vector<TcpRow>&, std::stop_token stop) -> std::shared_ptr<const OwnerIndex> {
            auto look = std::make_unique<ProcessLook>();
            if (!look->Take(stop)) return nullptr;
            return look;
        };
}
