#include "network_namespace.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Both address families in one: the helpers take either kind of literal.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    bool Parse(const char* text, std::uint16_t port) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        if (inet_pton(AF_INET, text, &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            v4->sin_port = htons(port);
            length = sizeof *v4;
            return true;
        }
        if (inet_pton(AF_INET6, text, &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(port);
            length = sizeof *v6;
            return true;
        }
        return false;
    }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

int Fail(int fd) {
    if (fd >= 0) close(fd);
    return -1;
}

// A socket of the address's family, bound to it.
int BoundSocket(const SocketAddress& address) {
    const int fd = socket(address.storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, address.get(), address.length) != 0) return Fail(fd);
    return fd;
}

}  // namespace

bool EnterPrivateNetworkNamespace(std::string* why) {
    if (unshare(CLONE_NEWNET) != 0) {
        *why = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
        return false;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (up) {
        request.ifr_flags |= IFF_UP;
        up = ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    if (!up) *why = std::string("bringing up lo: ") + std::strerror(errno);
    if (fd >= 0) close(fd);
    return up;
}

int Listen(const char* address, std::uint16_t port, int backlog) {
    SocketAddress where;
    if (!where.Parse(address, port)) return -1;
    const int fd = BoundSocket(where);
    if (fd < 0 || listen(fd, backlog) != 0) return Fail(fd);
    return fd;
}

int ConnectFrom(const char* from, const char* to, std::uint16_t port, Handshake handshake) {
    SocketAddress source, target;
    if (!source.Parse(from, 0) || !target.Parse(to, port)) return -1;
    const int fd = BoundSocket(source);
    if (fd < 0) return -1;
    if (handshake == Handshake::DontWait) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        if (connect(fd, target.get(), target.length) != 0 && errno != EINPROGRESS) return Fail(fd);
        return fd;
    }
    if (connect(fd, target.get(), target.length) != 0) return Fail(fd);
    return fd;
}

int AcceptOne(int listener) { return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }

std::uint16_t LocalPort(int socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
}
