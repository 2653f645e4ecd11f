#include "network_namespace.h"

#include <arpa/inet.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

// address:port of either family in `where`; its length, or 0 when the literal is neither.
socklen_t SocketAddress(const char* address, std::uint16_t port, sockaddr_storage& where) {
    auto& v4 = reinterpret_cast<sockaddr_in&>(where);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(where);
    where = {};
    v4.sin_port = htons(port);  // where sin6_port is too
    if (inet_pton(AF_INET, address, &v4.sin_addr) == 1) return where.ss_family = AF_INET, sizeof v4;
    if (inet_pton(AF_INET6, address, &v6.sin6_addr) == 1)
        return where.ss_family = AF_INET6, sizeof v6;
    return 0;
}

// A TCP socket bound to address:port on which `then` succeeds; -1 otherwise.
int BoundSocket(const char* address, std::uint16_t port, const std::function<bool(int)>& then) {
    sockaddr_storage where;
    const socklen_t length = SocketAddress(address, port, where);
    const int fd = length ? socket(where.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&where), length) == 0 && then(fd))
        return fd;
    if (fd >= 0) close(fd);
    return -1;
}

}  // namespace

bool EnterPrivateNetworkNamespace(std::string* why) {
    // The new namespace's loopback interface starts down.
    if (unshare(CLONE_NEWNET) == 0 && std::system("ip link set lo up") == 0) return true;
    *why = std::string("private network namespace with lo up: ") + std::strerror(errno);
    return false;
}

int Listen(const char* address, std::uint16_t port) {
    return BoundSocket(address, port, [](int fd) { return listen(fd, 64) == 0; });
}

int ConnectFrom(const char* from, const char* to, std::uint16_t port) {
    sockaddr_storage target;
    const socklen_t length = SocketAddress(to, port, target);
    return BoundSocket(from, 0, [&](int fd) {
        return length && connect(fd, reinterpret_cast<sockaddr*>(&target), length) == 0;
    });
}
