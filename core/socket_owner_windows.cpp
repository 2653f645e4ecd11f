#include "core/socket_owner_windows.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using Kind = OwnerFacts::Kind;

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

// What a process tells of itself: its name and user when it may be asked.
struct ProcessFacts {
    Kind kind = Kind::Closed;  // Held, Hidden, or Closed once it ended
    std::string name;
    std::string user;
};

ProcessFacts AskProcess(DWORD pid) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr)
        return {GetLastError() == ERROR_ACCESS_DENIED ? Kind::Hidden : Kind::Closed, {}, {}};
    std::string name = ProgramName(process);
    std::string user = UserName(process);
    CloseHandle(process);
    return {name.empty() ? Kind::Hidden : Kind::Held, std::move(name), std::move(user)};
}

// The processes of every connection, as one call of the table told them. Sockets on the same
// fields (listeners sharing a port) are told apart only by their processes, so a row of such
// fields names them all.
class ProcessIds final : public OwnerIndex {
public:
    // False when stopped early.
    bool Take(const OwnerTableCall& call, const std::stop_token& stop) {
        IpHelperTable filled = CallWithGrowingBuffer(
            [&](void* buffer, PULONG size) {
                return call(static_cast<PMIB_TCPTABLE_OWNER_PID>(buffer), size, TRUE);
            },
            "GetExtendedTcpTable");
        for (const MIB_TCPROW_OWNER_PID& row :
             FilledRows<MIB_TCPTABLE_OWNER_PID>(filled, "GetExtendedTcpTable"))
            pids_.emplace_back(FieldsOf(RowOf(row)), row.dwOwningPid);
        failure_ = filled.failure;
        std::sort(pids_.begin(), pids_.end());
        pids_.erase(std::unique(pids_.begin(), pids_.end()), pids_.end());
        for (const auto& [fields, pid] : pids_) {
            if (stop.stop_requested()) return false;
            // The system holds a closing connection under the idle process's id, 0.
            if (pid != 0 && !processes_.contains(pid)) processes_.emplace(pid, AskProcess(pid));
        }
        return true;
    }

    OwnerFacts OwnerOf(const TcpRow& row) const override {
        if (!failure_.empty()) return {Kind::Unknown, {}, {}, failure_};
        const ConnectionFields fields = FieldsOf(row);
        const auto first =
            std::lower_bound(pids_.begin(), pids_.end(), std::pair(fields, DWORD{0}));
        OwnerFacts held{Kind::Held, {}, {}, {}}, hidden{Kind::Hidden, {}, {}, {}};
        for (auto entry = first; entry != pids_.end() && entry->first == fields; ++entry) {
            if (entry->second == 0) return {Kind::Closing, {}, {}, {}};
            const ProcessFacts& process = processes_.at(entry->second);
            if (process.kind == Kind::Closed) continue;  // ended since the table was read
            OwnerFacts& facts = process.kind == Kind::Held ? held : hidden;
            facts.holders.push_back({entry->second, process.name});
            if (!process.user.empty() && std::find(facts.users.begin(), facts.users.end(),
                                                   process.user) == facts.users.end())
                facts.users.push_back(process.user);
        }
        if (!held.holders.empty()) return held;
        if (!hidden.holders.empty()) return {Kind::Hidden, {}, hidden.users, {}};
        return {Kind::Closed, {}, {}, {}};
    }

private:
    std::vector<std::pair<ConnectionFields, DWORD>> pids_;  // in the order of the fields
    std::map<DWORD, ProcessFacts> processes_;
    std::string failure_;
};

}  // namespace

OwnerLookup OwnerLookupFrom(OwnerTableCall call) {
    return [call = std::move(call)](const std::vector<TcpRow>&,
                                    std::stop_token stop) -> std::shared_ptr<const OwnerIndex> {
        auto look = std::make_unique<ProcessIds>();
        if (!look->Take(call, stop)) return nullptr;
        return look;
    };
}

OwnerLookup SystemOwnerLookup() {
    return OwnerLookupFrom([](PMIB_TCPTABLE_OWNER_PID table, PDWORD size, BOOL sorted) {
        return GetExtendedTcpTable(table, size, sorted, AF_INET, TCP_TABLE_OWNER_PID_ALL, 0);
    });
}
