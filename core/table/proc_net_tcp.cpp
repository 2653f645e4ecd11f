#include "core/table/proc_net_tcp.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include "core/base/decimal.h"
#include "core/table/linux_tcp.h"

namespace {

// Reads the fields of one line from left to right; every step fails on anything unexpected.
class LineReader {
public:
    explicit LineReader(std::string_view line) : rest_(line) {}

    bool Spaces() {
        const std::size_t count = std::min(rest_.find_first_not_of(' '), rest_.size());
        rest_.remove_prefix(count);
        return count > 0;
    }

    bool Char(char c) {
        if (rest_.empty() || rest_.front() != c) return false;
        rest_.remove_prefix(1);
        return true;
    }

    bool Decimal() { return Run("0123456789"); }

    // One or more hex digits, however many.
    bool HexRun() { return Run("0123456789ABCDEFabcdef"); }

    // A decimal number that fits 32 bits.
    std::optional<std::uint32_t> Decimal32() {
        const std::string_view digits = rest_.substr(0, rest_.find_first_not_of("0123456789"));
        const auto value = ::Decimal32(digits);
        if (value) rest_.remove_prefix(digits.size());
        return value;
    }

    // Exactly `digits` hex digits, at most eight.
    std::optional<std::uint32_t> Hex(std::size_t digits) {
        if (rest_.size() < digits) return std::nullopt;
        std::uint32_t value = 0;
        for (char c : rest_.substr(0, digits)) {
            const int digit = HexDigit(c);
            if (digit < 0) return std::nullopt;
            value = value << 4 | static_cast<std::uint32_t>(digit);
        }
        rest_.remove_prefix(digits);
        return value;
    }

    bool AtFieldEnd() const { return rest_.empty() || rest_.front() == ' '; }

private:
    bool Run(std::string_view allowed) {
        const std::size_t count = std::min(rest_.find_first_not_of(allowed), rest_.size());
        rest_.remove_prefix(count);
        return count > 0;
    }

    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    }

    std::string_view rest_;
};

struct Endpoint {
    LinuxTcp::Ipv6Address address{};  // the IPv4 address in the first four bytes for tcp
    std::uint16_t port = 0;
};

// "0100007F:1F90": the kernel prints each 32-bit word of the address as it lies in memory,
// read as a host-order number, so copying the number back into memory restores the network
// order bytes on any host. The port is printed as a plain number.
std::optional<Endpoint> ReadEndpoint(LineReader& line, std::size_t words) {
    Endpoint endpoint;
    for (std::size_t i = 0; i < words; ++i) {
        const auto word = line.Hex(8);
        if (!word) return std::nullopt;
        std::memcpy(endpoint.address.data() + 4 * i, &*word, sizeof *word);
    }
    if (!line.Char(':')) return std::nullopt;
    const auto port = line.Hex(4);
    if (!port) return std::nullopt;
    endpoint.port = static_cast<std::uint16_t>(*port);
    return endpoint;
}

// "   0: 0100007F:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000 0 4242 ..."
void ParseLine(std::string_view text, ProcTcpFile file, std::vector<TcpRow>& rows) {
    const std::size_t words = file == ProcTcpFile::Tcp ? 1 : 4;
    LineReader line(text);
    line.Spaces();
    if (!line.Decimal() || !line.Char(':') || !line.Spaces()) return;
    const auto local = ReadEndpoint(line, words);
    if (!local || !line.Spaces()) return;
    const auto remote = ReadEndpoint(line, words);
    if (!remote || !line.Spaces()) return;
    const auto state = line.Hex(2);
    if (!state || !line.AtFieldEnd()) return;
    // tx_queue:rx_queue tr:tm->when retrnsmt, then uid, timeout and inode.
    const bool queuesAndTimers = line.Spaces() && line.HexRun() && line.Char(':') &&
                                 line.HexRun() && line.Spaces() && line.HexRun() &&
                                 line.Char(':') && line.HexRun() && line.Spaces() &&
                                 line.HexRun() && line.Spaces();
    const auto uid = queuesAndTimers ? line.Decimal32() : std::nullopt;
    if (!uid || !line.Spaces() || !line.Decimal() || !line.Spaces()) return;
    const auto inode = line.Decimal32();
    if (!inode || !line.AtFieldEnd()) return;
    const auto row =
        LinuxTcp::RowOf({*state, local->address, remote->address, PortField(local->port),
                         PortField(remote->port), *inode, *uid},
                        file == ProcTcpFile::Tcp6);
    if (row) rows.push_back(*row);
}

}  // namespace

void ParseProcNetTcp(std::string_view text, ProcTcpFile file, std::vector<TcpRow>& rows) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        ParseLine(text.substr(0, end), file, rows);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}
