#include "snapshot/tcp_row.h"

#include <algorithm>
#include <tuple>

std::int32_t StateCodeFromLinux(unsigned linuxState) {
    switch (linuxState) {
        case 1: return TcpState::Established;
        case 2: return TcpState::SynSent;
        case 3: return TcpState::SynReceived;  // SYN_RECV
        case 4: return TcpState::FinWait1;
        case 5: return TcpState::FinWait2;
        case 6: return TcpState::TimeWait;
        case 7: return TcpState::Closed;
        case 8: return TcpState::CloseWait;
        case 9: return TcpState::LastAck;
        case 10: return TcpState::Listen;
        case 11: return TcpState::Closing;
        case 12: return TcpState::SynReceived;  // NEW_SYN_RECV: a request socket
        default: return 0;
    }
}

RawField AddressField(std::uint32_t hostOrderAddress) {
    return {static_cast<std::uint8_t>(hostOrderAddress >> 24),
            static_cast<std::uint8_t>(hostOrderAddress >> 16),
            static_cast<std::uint8_t>(hostOrderAddress >> 8),
            static_cast<std::uint8_t>(hostOrderAddress)};
}

RawField PortField(std::uint16_t port) {
    return {static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port), 0, 0};
}

namespace {
// Bytes in storage order compare as the unsigned numbers they encode; only the first two bytes
// of a port field count.
auto SortKey(const TcpRow& r) {
    return std::tie(r.localAddress, r.localPort[0], r.localPort[1], r.remoteAddress,
                    r.remotePort[0], r.remotePort[1]);
}
}  // namespace

bool PlatformOrder(const TcpRow& a, const TcpRow& b) { return SortKey(a) < SortKey(b); }

bool SameConnection(const TcpRow& a, const TcpRow& b) { return SortKey(a) == SortKey(b); }

void SortIntoPlatformOrder(std::vector<TcpRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(), PlatformOrder);
    rows.erase(std::unique(rows.begin(), rows.end(), SameConnection), rows.end());
}
