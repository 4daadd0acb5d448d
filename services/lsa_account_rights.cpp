// The account seam over the local security authority of this computer or another one.
#include "services/account_rights.h"

#include "common/computer_name.h"
#include "common/errors.h"
#include "common/handle.h"

#include <windows.h>

#include <ntsecapi.h>

#include <algorithm>
#include <vector>

namespace {
constexpr NTSTATUS StatusSuccess = 0;
// What LsaEnumerateAccountRights answers for an account that holds no right at all.
constexpr NTSTATUS StatusObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034L);

void CloseLsa(LSA_HANDLE policy) noexcept { LsaClose(policy); }
void FreeLsa(void* memory) noexcept { LsaFreeMemory(memory); }
using UniqueLsaPolicy = UniqueNullHandle<LSA_HANDLE, CloseLsa>;
template <typename T>
using UniqueLsaMemory = UniqueNullHandle<T*, FreeLsa>;

void CheckLsa(NTSTATUS status)
{
    if (status != StatusSuccess)
        RaiseOSError(LsaNtStatusToWinError(status));
}

LSA_UNICODE_STRING LsaText(const std::wstring& text)
{
    LSA_UNICODE_STRING lsa;
    lsa.Buffer = const_cast<PWSTR>(text.c_str());
    lsa.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
    lsa.MaximumLength = static_cast<USHORT>(lsa.Length + sizeof(wchar_t));
    return lsa;
}

// The name LSA is asked with: none for this computer (Wine's LSA answers for no other name,
// and ours need no round trip), else the computer's name.
std::wstring SystemNameOf(const std::wstring& computer)
{
    return computer.empty() || IsThisComputerName(computer) ? std::wstring() : computer;
}

// The policy of the computer's local security authority, opened for the rights asked.
class TLsaPolicy {
public:
    TLsaPolicy(const std::wstring& systemName, ACCESS_MASK access) : FSystemName(systemName)
    {
        LSA_OBJECT_ATTRIBUTES attributes{};
        LSA_UNICODE_STRING name = LsaText(FSystemName);
        CheckLsa(LsaOpenPolicy(FSystemName.empty() ? nullptr : &name, &attributes, access, FPolicy.put()));
    }

    // ".\name" with the computer's own account domain in place of the dot, which the lookup
    // does not take; any other name as it is.
    std::wstring Qualified(const std::wstring& account)
    {
        if (account.rfind(L".\\", 0) != 0)
            return account;
        UniqueLsaMemory<POLICY_ACCOUNT_DOMAIN_INFO> info;
        CheckLsa(LsaQueryInformationPolicy(FPolicy.get(), PolicyAccountDomainInformation,
                                           reinterpret_cast<void**>(info.put())));
        const std::wstring domain(info.get()->DomainName.Buffer, info.get()->DomainName.Length / sizeof(wchar_t));
        return domain + account.substr(1);
    }

    // The account's security identifier; empty when the computer does not know the account.
    std::vector<BYTE> Sid(const std::wstring& account)
    {
        const std::wstring name = Qualified(account);
        const wchar_t* system = FSystemName.empty() ? nullptr : FSystemName.c_str();
        std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
        std::vector<wchar_t> domain(256);
        for (;;) {
            DWORD sidSize = static_cast<DWORD>(sid.size());
            DWORD domainSize = static_cast<DWORD>(domain.size());
            SID_NAME_USE use;
            if (LookupAccountNameW(system, name.c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use)) {
                sid.resize(sidSize);
                return sid;
            }
            const DWORD error = GetLastError();
            if (error == ERROR_NONE_MAPPED)
                return {};
            if (error != ERROR_INSUFFICIENT_BUFFER || (sidSize <= sid.size() && domainSize <= domain.size()))
                RaiseOSError(error);
            sid.resize(std::max<size_t>(sidSize, sid.size()));
            domain.resize(std::max<size_t>(domainSize, domain.size()));
        }
    }

    bool HoldsRight(std::vector<BYTE>& sid, const std::wstring& right)
    {
        UniqueLsaMemory<LSA_UNICODE_STRING> rights;
        ULONG count = 0;
        const NTSTATUS status = LsaEnumerateAccountRights(FPolicy.get(), sid.data(), rights.put(), &count);
        if (status == StatusObjectNameNotFound)
            return false;
        CheckLsa(status);
        for (ULONG i = 0; i < count; ++i) {
            const LSA_UNICODE_STRING& held = rights.get()[i];
            if (CompareStringOrdinal(held.Buffer, held.Length / sizeof(wchar_t), right.c_str(),
                                     static_cast<int>(right.size()), TRUE) == CSTR_EQUAL)
                return true;
        }
        return false;
    }

    void AddRight(std::vector<BYTE>& sid, const std::wstring& right)
    {
        LSA_UNICODE_STRING text = LsaText(right);
        CheckLsa(LsaAddAccountRights(FPolicy.get(), sid.data(), &text, 1));
    }

private:
    std::wstring FSystemName;
    UniqueLsaPolicy FPolicy;
};

class TLsaAccountRights final : public IAccountRights {
public:
    bool AccountExists(const std::wstring& computer, const std::wstring& account) override
    {
        TLsaPolicy policy(SystemNameOf(computer), POLICY_LOOKUP_NAMES | POLICY_VIEW_LOCAL_INFORMATION);
        return !policy.Sid(account).empty();
    }

    bool GrantServiceLogonRight(const std::wstring& computer, const std::wstring& account) override
    {
        TLsaPolicy policy(SystemNameOf(computer),
                          POLICY_LOOKUP_NAMES | POLICY_VIEW_LOCAL_INFORMATION | POLICY_CREATE_ACCOUNT);
        std::vector<BYTE> sid = policy.Sid(account);
        if (sid.empty())
            RaiseOSError(ERROR_NONE_MAPPED);
        if (policy.HoldsRight(sid, ServiceLogonRight))
            return false;
        policy.AddRight(sid, ServiceLogonRight);
        return true;
    }
};
}  // namespace

IAccountRights& SystemAccountRights()
{
    static TLsaAccountRights rights;
    return rights;
}
