#include "network_namespace.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// address:port of either family in `where`; its length, or 0 when the literal is neither.
socklen_t SocketAddress(const char* address, std::uint16_t port, sockaddr_storage& where) {
    auto& v4 = reinterpret_cast<sockaddr_in&>(where);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(where);
    where = {};
    const bool ipv4 = inet_pton(AF_INET, address, &v4.sin_addr) == 1;
    if (!ipv4 && inet_pton(AF_INET6, address, &v6.sin6_addr) != 1) return 0;
    where.ss_family = ipv4 ? AF_INET : AF_INET6;
    (ipv4 ? v4.sin_port : v6.sin6_port) = htons(port);
    return ipv4 ? sizeof v4 : sizeof v6;
}

// fd when the step that set it up succeeded; otherwise it is closed and -1 returned.
int KeptIf(bool succeeded, int fd) {
    if (succeeded) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

int BoundSocket(const char* address, std::uint16_t port) {
    sockaddr_storage where;
    const socklen_t length = SocketAddress(address, port, where);
    const int fd = length ? socket(where.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    return KeptIf(fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&where), length) == 0, fd);
}

}  // namespace

bool EnterPrivateNetworkNamespace(std::string* why) {
    const int fd = unshare(CLONE_NEWNET) == 0 ? socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0) : -1;
    ifreq lo{};  // the new namespace's loopback interface starts down
    std::strcpy(lo.ifr_name, "lo");
    const bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &lo) == 0 && (lo.ifr_flags |= IFF_UP) &&
                    ioctl(fd, SIOCSIFFLAGS, &lo) == 0;
    if (!up) *why = std::string("private network namespace with lo up: ") + std::strerror(errno);
    if (fd >= 0) close(fd);
    return up;
}

int Listen(const char* address, std::uint16_t port) {
    const int fd = BoundSocket(address, port);
    return KeptIf(fd >= 0 && listen(fd, 64) == 0, fd);
}

int ConnectFrom(const char* from, const char* to, std::uint16_t port) {
    sockaddr_storage target;
    const socklen_t length = SocketAddress(to, port, target);
    const int fd = BoundSocket(from, 0);
    return KeptIf(
        fd >= 0 && length && connect(fd, reinterpret_cast<sockaddr*>(&target), length) == 0, fd);
}
