// winsock2.h must come before any header that pulls in windows.h.
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/base/sort_unique.h"
#include "core/base/wide_text.h"
#include "core/owners/socket_owner.h"

namespace {

// The path of the program's executable; empty when it cannot be read.
std::wstring ProgramPath(HANDLE process) {
    std::wstring path(32768, L'\0');
    DWORD length = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return {};
    path.resize(length);
    return path;
}

// The account the process runs as, from its token; empty when it cannot be read.
std::string UserName(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<DWORD> user(size / sizeof(DWORD) + 1);  // DWORD elements keep the SID aligned
    const bool read = size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    if (!read) return {};
    std::wstring name(256, L'\0'), domain(256, L'\0');
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD domainLength = static_cast<DWORD>(domain.size());
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid,
                           name.data(), &nameLength, domain.data(), &domainLength, &use))
        return {};
    name.resize(nameLength);
    return Utf8(name);
}

// The processes whose IDs the rows name (the table gives each row its owner's ID), each asked
// for its name and user; nothing once `stop` is requested.
std::optional<ProcessTable> AskProcesses(const std::vector<TcpRow>& rows,
                                         const std::stop_token& stop) {
    ProcessTable table;
    table.noSocket = NoSocket::ClosingOrUnseen;
    std::vector<std::uint32_t> pids;
    for (const TcpRow& row : rows)
        if (row.holderKey != 0) pids.push_back(row.holderKey);
    SortUnique(pids);
    for (const std::uint32_t pid : pids) {
        if (stop.stop_requested()) return {};
        const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
        if (process == nullptr) {  // refused, or ended since the table was read
            table.someUnreadable |= GetLastError() == ERROR_ACCESS_DENIED;
            continue;
        }
        const std::wstring path = ProgramPath(process);
        std::string user = UserName(process);
        CloseHandle(process);
        if (path.empty()) {
            table.someUnreadable = true;
            continue;
        }
        // Its name is the program's file name, without the folder.
        std::string name = Utf8(std::wstring_view(path).substr(path.find_last_of(L"\\/") + 1));
        table.processes.push_back({pid, 0, std::move(name), std::move(user), {pid}, Utf8(path)});
    }
    return table;
}

}  // namespace

OwnerLookup SystemOwnerLookup() {
    return [](const std::vector<TcpRow>& rows, std::stop_token stop) {
        return IndexOrFailure([&]() -> std::shared_ptr<const OwnerIndex> {
            std::optional<ProcessTable> table = AskProcesses(rows, stop);
            if (!table) return nullptr;
            return std::make_shared<const OwnerIndex>(*table, rows);
        });
    };
}
