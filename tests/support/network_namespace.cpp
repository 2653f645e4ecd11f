#include "tests/support/network_namespace.h"

#include <netdb.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using Address = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

// A literal address of either family and a port; empty when the literal is neither.
Address Resolve(const char* address, std::uint16_t port) {
    const addrinfo hints{.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV, .ai_socktype = SOCK_STREAM};
    addrinfo* found = nullptr;
    getaddrinfo(address, std::to_string(port).c_str(), &hints, &found);
    return Address(found, freeaddrinfo);
}

// A TCP socket bound to address:port that then connects to `target`, or listens where there is
// none, sharing its port with other such listeners; -1 on failure.
int BoundSocket(const char* address, std::uint16_t port, const addrinfo* target) {
    const Address where = Resolve(address, port);
    const int fd = where ? socket(where->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    const int shared = target ? 0 : 1;
    if (fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &shared, sizeof shared) == 0 &&
        bind(fd, where->ai_addr, where->ai_addrlen) == 0 &&
        (target ? connect(fd, target->ai_addr, target->ai_addrlen) : listen(fd, 64)) == 0)
        return fd;
    if (fd >= 0) close(fd);
    return -1;
}

}  // namespace

std::string EnterPrivateNetworkNamespace() {
    // The new namespace's loopback interface starts down.
    if (unshare(CLONE_NEWNET) == 0 && std::system("ip link set lo up") == 0) return {};
    return std::string("private network namespace with lo up: ") + std::strerror(errno);
}

std::string EnterPrivateFiles(std::initializer_list<std::pair<const char*, std::string>> files) {
    if (unshare(CLONE_NEWNS) != 0) return std::string("mount namespace: ") + std::strerror(errno);
    // A chroot's root is no mount point: its mounts cannot be made private, and a file bound
    // there would show outside too.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return errno == EINVAL ? InChroot : std::string("private mounts: ") + std::strerror(errno);
    for (const auto& [path, text] : files) {
        umount2(path, MNT_DETACH);  // a file of an earlier call's, whose copy is gone
        char copy[] = "/tmp/sockview-test-XXXXXX";
        const int fd = mkstemp(copy);
        const bool bound = fd >= 0 && write(fd, text.data(), text.size()) == ssize_t(text.size()) &&
                           mount(copy, path, nullptr, MS_BIND, nullptr) == 0;
        // The bound file stays while bound.
        if (fd >= 0) close(fd), unlink(copy);
        if (!bound)
            return std::string("a file of its own at ") + path + ": " + std::strerror(errno);
    }
    return {};
}

int Listen(const char* address, std::uint16_t port) { return BoundSocket(address, port, nullptr); }

int ConnectFrom(const char* from, const char* to, std::uint16_t port) {
    const Address target = Resolve(to, port);
    return target ? BoundSocket(from, 0, target.get()) : -1;
}
