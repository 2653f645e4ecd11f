#include "core/socket_owner_windows.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using Process = OwnerFacts::Process;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

// The program's file name, without its folder; empty when it cannot be read.
std::string ProgramName(HANDLE process) {
    std::wstring path(32768, L'\0');
    DWORD length = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return {};
    path.resize(length);
    return Utf8(path.substr(path.find_last_of(L"\\/") + 1));
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

OwnerFacts ProcessFacts(DWORD pid) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        const Process seen =
            GetLastError() == ERROR_ACCESS_DENIED ? Process::Hidden : Process::Ended;
        return {seen, {}, 0, {}, {}};
    }
    std::string name = ProgramName(process);
    std::string user = UserName(process);
    CloseHandle(process);
    if (name.empty()) return {Process::Hidden, {}, 0, std::move(user), {}};
    return {Process::Running, std::move(name), pid, std::move(user), {}};
}

// The process id of every connection, as one call of the table told them.
class ProcessIds final : public OwnerMap {
public:
    explicit ProcessIds(const OwnerTableCall& call) {
        IpHelperTable filled = CallWithGrowingBuffer(
            [&](void* buffer, PULONG size) {
                return call(static_cast<PMIB_TCPTABLE_OWNER_PID>(buffer), size, TRUE);
            },
            "GetExtendedTcpTable");
        for (const MIB_TCPROW_OWNER_PID& row :
             FilledRows<MIB_TCPTABLE_OWNER_PID>(filled, "GetExtendedTcpTable"))
            pids_.emplace_back(KeyOf(RowOf(row)), row.dwOwningPid);
        failure_ = filled.failure;
        std::sort(pids_.begin(), pids_.end());
    }

    OwnerFacts OwnerOf(const TcpRow& row) override {
        if (!failure_.empty()) return {Process::Unknown, {}, 0, {}, failure_};
        const ConnectionKey key = KeyOf(row);
        const auto found = std::lower_bound(pids_.begin(), pids_.end(), std::pair(key, DWORD{0}));
        if (found == pids_.end() || found->first != key) return {Process::Ended, {}, 0, {}, {}};
        // The system holds a closing connection under the idle process's id, 0.
        if (found->second == 0) return {Process::Closing, {}, 0, {}, {}};
        auto known = processes_.find(found->second);
        if (known == processes_.end())
            known = processes_.emplace(found->second, ProcessFacts(found->second)).first;
        return known->second;
    }

private:
    std::vector<std::pair<ConnectionKey, DWORD>> pids_;  // in the order of the keys
    std::map<DWORD, OwnerFacts> processes_;
    std::string failure_;
};

}  // namespace

OwnerScan OwnerScanFrom(OwnerTableCall call) {
    return [call = std::move(call)] { return std::make_unique<ProcessIds>(call); };
}

OwnerScan SystemOwnerScan() {
    return OwnerScanFrom([](PMIB_TCPTABLE_OWNER_PID table, PDWORD size, BOOL sorted) {
        return GetExtendedTcpTable(table, size, sorted, AF_INET, TCP_TABLE_OWNER_PID_ALL, 0);
    });
}
