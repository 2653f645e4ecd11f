#pragma once

#include <QTest>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

// Real sockets for tests, on loopback inside a network namespace that the test makes itself,
// so the test sees only its own connections and sends nothing off the machine. Addresses are
// IPv4 or IPv6 literals ("127.0.0.2", "::", "::1"). Socket helpers return a file descriptor
// that the caller closes, or -1 on failure.

// Moves the calling thread -- call it from the main thread, before any other starts -- into a
// new, empty network namespace and brings its loopback interface up. Each call makes a fresh
// one. Empty, or the reason where that is not allowed (no CAP_SYS_ADMIN).
std::string EnterPrivateNetworkNamespace();

// The refusal of EnterPrivateFiles in a chroot.
inline constexpr const char* InChroot = "in a chroot, whose mounts cannot be made private";

// Moves the calling thread into a new mount namespace in which each file named reads as the text
// given with it. Empty, or the reason where that is not allowed.
std::string EnterPrivateFiles(std::initializer_list<std::pair<const char*, std::string>> files);

// A TCP socket listening on address:port (IPv6 sockets also take IPv4 clients); listeners may
// share their port (SO_REUSEPORT).
int Listen(const char* address, std::uint16_t port);

// A TCP socket bound to `from` on a port the kernel chooses and connected to to:port.
int ConnectFrom(const char* from, const char* to, std::uint16_t port);

// Skips the calling test with the reason for a refusal, unless there is none (it is empty);
// under CI, where every test must run, fails it instead, unless it runs in a chroot.
#define SKIP_IF_REFUSED(refusal)                                                       \
    do {                                                                               \
        const std::string why = (refusal);                                             \
        if (why.empty()) break;                                                        \
        if (qgetenv("CI") == "true" && !why.starts_with(InChroot)) QFAIL(why.c_str()); \
        QSKIP(why.c_str());                                                            \
    } while (false)
