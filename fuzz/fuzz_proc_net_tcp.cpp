// Input: one byte choosing /proc/net/tcp or tcp6, then the file's text.
#include <string_view>

#include "core/table/proc_net_tcp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const ProcTcpFile file = (data[0] & 1) != 0 ? ProcTcpFile::Tcp6 : ProcTcpFile::Tcp;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<TcpRow> rows;
    ParseProcNetTcp(text, file, rows);
    // Every row comes from a line of its own.
    std::size_t lines = 1;
    for (const char c : text) lines += c == '\n';
    if (rows.size() > lines) __builtin_trap();
    for (const TcpRow& row : rows) {
        if (row.state > TcpState::DeleteTcb) __builtin_trap();
    }
    return 0;
}
