// Input: the bytes of a name that anybody can choose, as a process's name, its program's path, its
// user's, a remote host's and a service's, through the functions that make the tooltip's lines.
// Whatever they are, the lines are valid UTF-8 with no control or format character, break only
// where the tooltip does, and the host's line is no longer than its limit. libunistring's tables
// are the witness.
#include <unictype.h>
#include <unistr.h>

#include <string>

#include "core/describe/owner_lines.h"
#include "core/describe/remote_host_line.h"
#include "core/describe/service_line.h"

namespace {

// Valid UTF-8, and no character of a category that could forge, reorder or hide text.
void CheckShown(const std::string& text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (u8_check(bytes, text.size()) != nullptr) __builtin_trap();
    ucs4_t point = 0;
    for (const std::uint8_t* at = bytes; at < bytes + text.size();) {
        at += u8_mbtouc(&point, at, bytes + text.size() - at);
        if (point == '\n') continue;  // the tooltip's own line breaks, counted by the caller
        if (uc_is_general_category(point, UC_CATEGORY_Cc) ||
            uc_is_general_category(point, UC_CATEGORY_Cf) ||
            uc_is_general_category(point, UC_CATEGORY_Zl) ||
            uc_is_general_category(point, UC_CATEGORY_Zp))
            __builtin_trap();
    }
}

std::size_t Lines(const std::string& text) {
    std::size_t lines = 1;
    for (const char c : text) lines += c == '\n';
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);

    const TcpRow row{TcpState::Established, {10, 0, 0, 1}, {0, 80}, {10, 0, 0, 2}, {1, 1}, 7, 0};
    const OwnerIndex owners(ProcessTable{{{42, 0, name, name, {7}, name}}}, {row});
    const std::string owner = OwnerLines(&owners, row);
    CheckShown(owner);
    // "Process: ...", "Program: ..." and, for a user with a name, "User: ...".
    if (Lines(owner) != (name.empty() ? 2 : 3)) __builtin_trap();

    const std::string service = ServiceLine(std::optional(std::optional(name)), {443, false});
    CheckShown(service);
    if (Lines(service) != 1) __builtin_trap();

    const std::string host = RemoteHostLine({HostAnswer::Kind::Named, name});
    CheckShown(host);
    const std::size_t longest = std::string("Remote host: ").size() + 253 + 3;
    if (Lines(host) != 1 || host.size() > longest) __builtin_trap();
    return 0;
}
