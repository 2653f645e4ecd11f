#include "bench/connection_farm.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

// Each child keeps both ends of its connections: two descriptors a connection, under the
// per-process limit of 20,000 that cannot be raised here.
constexpr int ConnectionsPerChild = 9000;
constexpr int Batch = 500;

sockaddr_in Address(std::uint32_t hostOrder, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(hostOrder);
    address.sin_port = htons(port);
    return address;
}

// Tells the parent which step failed and why, in place of the ready byte.
[[noreturn]] void Fail(int pipeFd, const char* step) {
    const std::string message = std::string(step) + ": " + std::strerror(errno);
    if (write(pipeFd, message.data(), message.size()) < 0) _exit(1);
    _exit(1);
}

// Runs in the child: listens on 127.1.k.1, connects count clients from 127.2.k.1 and keeps
// everything open until the parent closes the pipe. Writes one byte once all are established.
[[noreturn]] void RunChild(int index, int count, int pipeFd) {
    const std::uint32_t server = (127u << 24) | (1u << 16) | (std::uint32_t(index) << 8) | 1u;
    const std::uint32_t client = (127u << 24) | (2u << 16) | (std::uint32_t(index) << 8) | 1u;
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in at = Address(server, 5000);
    if (bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        listen(listener, Batch) != 0)
        Fail(pipeFd, "listening");
    for (int done = 0; done < count;) {
        const int batch = std::min(Batch, count - done);
        for (int i = 0; i < batch; ++i) {
            const int s = socket(AF_INET, SOCK_STREAM, 0);
            setsockopt(s, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);
            sockaddr_in from = Address(client, 0);
            if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
                connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0)
                Fail(pipeFd, "connecting");
        }
        for (int i = 0; i < batch; ++i) {
            if (accept(listener, nullptr, nullptr) < 0) Fail(pipeFd, "accepting");
        }
        done += batch;
    }
    const char ready = 1;
    if (write(pipeFd, &ready, 1) != 1) _exit(5);
    char ignored;
    while (read(pipeFd, &ignored, 1) > 0) {
    }
    _exit(0);
}

}  // namespace

ConnectionFarm::~ConnectionFarm() { closeAll(); }

bool ConnectionFarm::grow(int count, std::string* why, const std::function<void(int)>& progress) {
    while (opened_ < count) {
        const int batch = std::min(ConnectionsPerChild, count - opened_);
        const int index = static_cast<int>(children_.size()) + 1;
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
            *why = std::string("socketpair: ") + std::strerror(errno);
            return false;
        }
        auto child = std::make_unique<Child>([&] {
            close(fds[0]);  // so that the parent's end, once closed, ends the child
            RunChild(index, batch, fds[1]);
        });
        close(fds[1]);
        children_.push_back({std::move(child), fds[0]});
        char answer[200];
        const ssize_t length = read(fds[0], answer, sizeof answer);
        if (length != 1 || answer[0] != 1) {
            *why = "child " + std::to_string(index) + " of the farm, " +
                   (length > 0 ? std::string(answer, static_cast<std::size_t>(length))
                               : std::string("ended before its connections were open"));
            return false;
        }
        opened_ += batch;
        if (progress) progress(opened_);
    }
    return true;
}

void ConnectionFarm::closeAll() {
    for (const Grower& child : children_) close(child.pipe);
    for (const Grower& child : children_) child.process->WaitFor(std::chrono::minutes(1));
    children_.clear();
    opened_ = 0;
}

int EmptyNetworkNamespace(std::string* why) {
    if (unshare(CLONE_NEWNET) != 0) {
        *why = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
        return -1;
    }
    const int descriptor = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) *why = std::string("/proc/self/ns/net: ") + std::strerror(errno);
    return descriptor;
}

bool EnterBenchNamespace(std::string* why) {
    if (unshare(CLONE_NEWNET) != 0 || std::system("ip link set lo up") != 0) {
        *why = std::string("a network namespace with lo up: ") + std::strerror(errno);
        return false;
    }
    std::ofstream("/proc/sys/net/ipv4/ip_local_port_range") << "1024 65535";
    return true;
}
