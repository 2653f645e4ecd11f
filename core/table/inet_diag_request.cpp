#include "core/table/inet_diag_request.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>

namespace {

template <class T>
void Append(std::vector<std::byte>& bytes, const T& value) {
    const auto* first = reinterpret_cast<const std::byte*>(&value);
    bytes.insert(bytes.end(), first, first + sizeof value);
}

// The request's fixed part, then the filter of the range if given.
template <class Request>
DiagRequest WithPorts(std::uint16_t type, const Request& request, std::optional<PortRange> ports) {
    DiagRequest made{type, {}};
    Append(made.payload, request);
    if (!ports) return made;
    // The higher port at least `first`: the local or else the remote one; then both at most
    // `last`. Each op jumps by `yes` or `no` bytes; a jump past the end refuses the socket. The
    // kernel takes a `no` only to an op that the chain of `yes` jumps reaches, hence the JMP over
    // the remote port's test once the local one passed.
    const inet_diag_bc_op program[] = {
        {INET_DIAG_BC_S_GE, 8, 12}, {0, 0, ports->first},  // at 0, 36 bytes left
        {INET_DIAG_BC_JMP, 4, 12},                         // at 8: on to 20
        {INET_DIAG_BC_D_GE, 8, 28}, {0, 0, ports->first},  // at 12, 24 left
        {INET_DIAG_BC_S_LE, 8, 20}, {0, 0, ports->last},   // at 20, 16 left
        {INET_DIAG_BC_D_LE, 8, 12}, {0, 0, ports->last},   // at 28, 8 left
    };
    Append(made.payload,
           nlattr{static_cast<std::uint16_t>(NLA_HDRLEN + sizeof program), INET_DIAG_REQ_BYTECODE});
    Append(made.payload, program);
    return made;
}

}  // namespace

DiagRequest DumpRequest(std::uint8_t family, std::uint32_t states, std::optional<PortRange> ports) {
    inet_diag_req_v2 request{};
    request.sdiag_family = family;
    request.sdiag_protocol = IPPROTO_TCP;
    request.idiag_states = states;
    return WithPorts(SOCK_DIAG_BY_FAMILY, request, ports);
}

DiagRequest OneWalkRequest(std::uint32_t states, std::optional<PortRange> ports) {
    inet_diag_req request{};
    request.idiag_family = AF_UNSPEC;  // the kernel dumps with AF_UNSPEC whatever is given here
    request.idiag_states = states;
    return WithPorts(TCPDIAG_GETSOCK, request, ports);
}
