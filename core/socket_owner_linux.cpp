#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <iterator>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/socket_owner.h"

namespace {

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

// What a look at some of the processes found.
struct Found {
    std::vector<std::pair<std::uint32_t, std::string>> names;      // pid, program name
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sockets;  // socket inode, pid
    std::unordered_set<std::uint32_t> refusedUsers;  // users whose descriptors we may not read
};

// Adds the sockets among one process's descriptors.
void AddProcess(int proc, std::uint32_t pid, Found& found) {
    const std::string entry = std::to_string(pid);
    const int processDir = openat(proc, entry.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (processDir < 0) return;  // ended
    Directory descriptors(openat(processDir, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat owner {};
    if (!descriptors.isOpen() && (errno == EACCES || errno == EPERM) &&
        fstat(processDir, &owner) == 0)
        found.refusedUsers.insert(owner.st_uid);
    std::optional<std::string> name;
    if (descriptors.isOpen()) name = ProgramName(processDir);
    close(processDir);
    if (!name) return;

    const std::size_t before = found.sockets.size();
    char link[64];
    while (const char* fd = descriptors.Next()) {
        const ssize_t length = readlinkat(descriptors.fd(), fd, link, sizeof link);
        if (length <= 0) continue;
        if (const auto inode = SocketInode({link, static_cast<std::size_t>(length)}))
            found.sockets.emplace_back(*inode, pid);
    }
    if (found.sockets.size() > before) found.names.emplace_back(pid, std::move(*name));
}

// Every process's open sockets, from the "socket:[N]" links in /proc/<pid>/fd. The kernel
// takes microseconds per descriptor, so the processes are shared out among the processors.
class ProcessSockets final : public OwnerMap {
public:
    ProcessSockets() {
        Directory proc(open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!proc.isOpen()) {
            failure_ = std::string("/proc: ") + std::strerror(errno);
            return;
        }
        std::vector<std::uint32_t> pids;
        while (const char* entry = proc.Next()) {
            if (const auto pid = Number(entry)) pids.push_back(*pid);
        }
        std::vector<Found> parts(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
        std::atomic<std::size_t> next = 0;
        const auto scan = [&](Found& part) {
            for (std::size_t i; (i = next++) < pids.size();) AddProcess(proc.fd(), pids[i], part);
        };
        {
            std::vector<std::jthread> helpers;
            for (std::size_t i = 1; i < parts.size(); ++i)
                helpers.emplace_back(scan, std::ref(parts[i]));
            scan(parts[0]);
        }
        for (Found& part : parts) {
            std::ranges::move(part.names, std::back_inserter(found_.names));
            found_.sockets.insert(found_.sockets.end(), part.sockets.begin(), part.sockets.end());
            found_.refusedUsers.merge(part.refusedUsers);
        }
        // A socket that several processes share goes to the one with the lowest id.
        std::ranges::sort(found_.names);
        std::ranges::sort(found_.sockets);
    }

    OwnerFacts OwnerOf(const TcpRow& row) override {
        using Process = OwnerFacts::Process;
        if (!failure_.empty()) return {Process::Unknown, {}, 0, {}, failure_};
        if (row.inode == 0) return {Process::Closing, {}, 0, {}, {}};
        const auto socket = std::ranges::lower_bound(found_.sockets, std::pair(row.inode, 0u));
        if (socket != found_.sockets.end() && socket->first == row.inode) {
            const auto name = std::ranges::lower_bound(
                found_.names, socket->second, {}, [](const auto& entry) { return entry.first; });
            return {Process::Running, name->second, socket->second, User(row.uid), {}};
        }
        // A socket whose holder we could not see may belong to one of the processes we were
        // refused; a process of another user holds its socket as that user.
        if (found_.refusedUsers.contains(row.uid))
            return {Process::Hidden, {}, 0, User(row.uid), {}};
        return {Process::Ended, {}, 0, {}, {}};
    }

private:
    const std::string& User(std::uint32_t uid) {
        auto found = userNames_.find(uid);
        if (found == userNames_.end()) found = userNames_.emplace(uid, UserName(uid)).first;
        return found->second;
    }

    Found found_;
    std::unordered_map<std::uint32_t, std::string> userNames_;
    std::string failure_;
};

}  // namespace

OwnerScan SystemOwnerScan() {
    return [] { return std::make_unique<ProcessSockets>(); };
}
