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
#include <cstring>
#include <exception>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "core/base/decimal.h"
#include "core/base/file_descriptor.h"
#include "core/base/growing_buffer.h"
#include "core/base/sort_unique.h"
#include "core/base/usable_cpus.h"
#include "core/owners/socket_owner.h"
#include "core/table/tcp_table_linux.h"

namespace {

// The inode of a descriptor link that reads "socket:[4242]"; nothing for any other link.
std::optional<std::uint32_t> SocketInode(std::string_view link) {
    constexpr std::string_view prefix = "socket:[";
    if (!link.starts_with(prefix) || !link.ends_with(']')) return {};
    return Decimal32(link.substr(prefix.size(), link.size() - prefix.size() - 1));
}

// The user's name, or the number when the user database has no name for it.
std::string UserName(std::uint32_t uid) {
    std::string name = std::to_string(uid);
    WithGrowingBuffer([&](std::vector<char>& buffer) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (found != nullptr) name = entry.pw_name;
        return error;
    });
    return name;
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
    const FileDescriptor comm(openat(processDir, "comm", O_RDONLY | O_CLOEXEC));
    char text[64];
    const ssize_t count = comm.isOpen() ? read(comm.get(), text, sizeof text) : -1;
    if (count <= 0) return {};
    std::string_view name(text, static_cast<std::size_t>(count));
    if (name.ends_with('\n')) name.remove_suffix(1);
    return std::string(name);
}

// The path of the executable as the kernel keeps it, " (deleted)" and all, from a process's or a
// thread's "exe" link; empty when it cannot be read (another user's process, without the right
// to look into it).
std::string ProgramPath(int directory, const std::string& exe) {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = readlinkat(directory, exe.c_str(), path.data(), path.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            return path;
        }
        path.resize(path.size() * 2);  // it may have been cut
    }
}

// What a look at some of the processes found.
struct Found {
    std::vector<ProcessTable::Process> processes;  // those with sockets
    bool refused = false;                          // some process's descriptors could not be read
    std::exception_ptr failure;                    // what ended this part of the look early
};

enum class Listing { Gone, Refused, Read };

// Adds the sockets among the descriptors in `directory` (a process's or a thread's "fd"). A
// process may hold a hundred thousand: the stop is heeded among them too.
Listing AddSockets(int parent, const char* directory, std::vector<std::uint32_t>& sockets,
                   bool* empty, const std::stop_token& stop) {
    Directory descriptors(openat(parent, directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!descriptors.isOpen())
        return errno == EACCES || errno == EPERM ? Listing::Refused : Listing::Gone;
    char link[64];
    *empty = true;
    for (unsigned count = 1; const char* fd = descriptors.Next(); ++count) {
        if (count % 256 == 0 && stop.stop_requested()) return Listing::Gone;
        if (fd[0] == '.') continue;
        *empty = false;
        const ssize_t length = readlinkat(descriptors.fd(), fd, link, sizeof link);
        if (length <= 0) continue;
        if (const auto inode = SocketInode({link, static_cast<std::size_t>(length)}))
            sockets.push_back(*inode);
    }
    return Listing::Read;
}

// True when the two threads share one descriptor table; false when unsure.
bool ShareDescriptors(std::uint32_t a, std::uint32_t b) {
    return syscall(SYS_kcmp, a, b, KCMP_FILES, 0, 0) == 0;
}

// Adds the sockets of one process. When its main thread has exited, the process's own "fd"
// is empty (or refused: it then belongs to root) while its other threads still hold their
// descriptors, so those are read instead; threads that share one table are read once. So is
// its program, which the process's own "exe" no longer names.
void AddProcess(int proc, std::uint32_t pid, Found& found, const std::stop_token& stop) {
    const std::string entry = std::to_string(pid);
    const FileDescriptor processDir(
        openat(proc, entry.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!processDir.isOpen()) return;  // ended
    // /proc/<pid> itself always belongs to the process's effective user.
    struct stat owner {};
    const bool ownerKnown = fstat(processDir.get(), &owner) == 0;
    ProcessTable::Process process{pid, owner.st_uid, {}, {}, {}, {}};
    bool empty = true;
    Listing listing = AddSockets(processDir.get(), "fd", process.sockets, &empty, stop);
    std::vector<std::uint32_t> read;  // the threads whose descriptors were read instead
    if (listing != Listing::Gone && empty) {
        Directory tasks(openat(processDir.get(), "task", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        while (const char* name = tasks.isOpen() ? tasks.Next() : nullptr) {
            const auto tid = Decimal32(name);
            if (!tid || *tid == pid ||
                std::ranges::any_of(read, [&](auto r) { return ShareDescriptors(r, *tid); }))
                continue;
            const Listing thread = AddSockets(tasks.fd(), (std::string(name) + "/fd").c_str(),
                                              process.sockets, &empty, stop);
            if (thread == Listing::Read) read.push_back(*tid);
            listing = std::max(listing, thread);
        }
    }
    found.refused |= listing == Listing::Refused;
    std::optional<std::string> name;
    if (!process.sockets.empty() && ownerKnown) name = ProgramName(processDir.get());
    if (!name) return;  // no sockets, or ended meanwhile
    process.name = std::move(*name);
    process.path = ProgramPath(processDir.get(),
                               read.empty() ? "exe" : "task/" + std::to_string(read[0]) + "/exe");
    found.processes.push_back(std::move(process));
}

// Every process's open sockets, from the "socket:[N]" links in /proc/<pid>/fd, with the
// listeners; nothing once `stop` is requested. The kernel takes microseconds per descriptor, so
// the processes are shared out among the processors.
std::optional<ProcessTable> ScanProcesses(const std::stop_token& stop) {
    ProcessTable table;
    Directory proc(open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc.isOpen()) {
        table.failure = std::string("/proc: ") + std::strerror(errno);
        return table;
    }
    table.listeners = ReadNetlinkListeners().value_or(std::vector<Listener>{});
    std::vector<std::uint32_t> pids;
    while (const char* entry = proc.Next()) {
        if (const auto pid = Decimal32(entry)) pids.push_back(*pid);
    }
    std::vector<Found> parts(std::clamp(UsableCpus(), 1u, 8u));
    std::atomic<std::size_t> next = 0;
    // A helper's failure (no memory) fails the look, on the caller's thread.
    const auto scan = [&](Found& part) {
        try {
            for (std::size_t i; !stop.stop_requested() && (i = next++) < pids.size();)
                AddProcess(proc.fd(), pids[i], part, stop);
        } catch (...) {
            part.failure = std::current_exception();
        }
    };
    {
        // The helpers run at the caller's priority, which they inherit.
        std::vector<std::jthread> helpers;
        for (std::size_t i = 1; i < parts.size(); ++i)
            helpers.emplace_back(scan, std::ref(parts[i]));
        scan(parts[0]);
    }
    if (stop.stop_requested()) return {};
    for (Found& part : parts) {
        if (part.failure) std::rethrow_exception(part.failure);
        std::ranges::move(part.processes, std::back_inserter(table.processes));
        table.someUnreadable |= part.refused;
    }
    std::vector<std::pair<std::uint32_t, std::string>> names;  // uid, name
    for (ProcessTable::Process& process : table.processes) {
        auto known = std::ranges::find(names, process.uid, [](const auto& n) { return n.first; });
        if (known == names.end()) {
            if (stop.stop_requested()) return {};
            known = names.emplace(names.end(), process.uid, UserName(process.uid));
        }
        process.user = known->second;
    }
    return table;
}

}  // namespace

OwnerLookup SystemOwnerLookup() {
    return [](const std::vector<TcpRow>& rows, std::stop_token stop) {
        return IndexOrFailure([&]() -> std::shared_ptr<const OwnerIndex> {
            std::optional<ProcessTable> table = ScanProcesses(stop);
            if (!table) return nullptr;
            // Where some processes are hidden, a socket they may hold is told by its own user.
            std::vector<std::uint32_t> uids;
            if (table->someUnreadable)
                for (const TcpRow& row : rows) uids.push_back(row.uid);
            SortUnique(uids);
            for (const std::uint32_t uid : uids) {
                if (stop.stop_requested()) return nullptr;
                table->rowUsers.emplace_back(uid, UserName(uid));
            }
            return std::make_shared<const OwnerIndex>(*table, rows);
        });
    };
}
