#include "app/instances.h"

#include "app/instance_security.h"
#include "app/instance_windows.h"
#include "common/errors.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
constexpr DWORD TableSize = sizeof(TInstanceTable);
}  // namespace

std::wstring ModuleFileName()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            RaiseLastOSError();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring UniqueAppIDOf(const std::wstring& exePath)
{
    std::wstring id = L"Orvessa" + exePath;
    CharUpperBuffW(id.data(), static_cast<DWORD>(id.size()));
    std::replace(id.begin(), id.end(), L'\\', L'_');
    return id;
}

TAppInstances::TAppInstances() : TAppInstances(UniqueAppIDOf(ModuleFileName())) {}

TAppInstances::TAppInstances(const std::wstring& uniqueAppID)
    : FCPID(GetCurrentProcessId()),
      FMessageID(RegisterWindowMessageW((uniqueAppID + L"_Msg").c_str())),
      FOptex(uniqueAppID + L"_Otx", LockSpinCount),
      FUniqueAppID(uniqueAppID)
{
    TTokenUser user;
    TWorldSid everyone;
    {
        TTableSecurity security(user.Sid(), everyone.Sid());
        OpenTable(FUniqueAppID + L"_All", security.Attributes(), FAllMapping, FAllMappingView);
    }
    {
        TTableSecurity security(user.Sid(), everyone.Sid());
        OpenTable(FUniqueAppID + L"_Session_" + std::to_wstring(SessionIdOf(FCPID)), security.Attributes(),
                  FSessionMapping, FSessionMappingView);
    }
    {
        const TAccountName account = AccountNameOf(user.Sid());
        TTableSecurity security(user.Sid(), user.Sid());
        OpenTable(FUniqueAppID + L"_User_" + account.Account + L"_" + account.Domain, security.Attributes(), FUserMapping,
                  FUserMappingView);
    }
}

void TAppInstances::OpenTable(const std::wstring& name, SECURITY_ATTRIBUTES* security,
                              std::optional<TSwapFileMapping>& mapping, std::optional<TFileMappingView>& view)
{
    TOptexLock lock(FOptex);
    mapping.emplace(name, TableSize, security);
    view.emplace(*mapping, FILE_MAP_ALL_ACCESS, 0, TableSize);
    if (!mapping->Existed())
        std::memset(view->Data(), 0, TableSize);
}

TAppInstances::~TAppInstances()
{
    try {
        for (auto* view : {&FAllMappingView, &FSessionMappingView, &FUserMappingView}) {
            TOptexLock lock(FOptex);
            TableRemove(Table(*view), FCPID);
        }
        NotifyInstances(inDestroyed, static_cast<LPARAM>(FCPID));
    } catch (...) {
        // Nothing is left to report to at process exit.
    }
    for (auto* view : {&FUserMappingView, &FSessionMappingView, &FAllMappingView})
        view->reset();
    FUserMapping.reset();
    FSessionMapping.reset();
    FAllMapping.reset();
}

bool TAppInstances::CheckInstance(uint16_t maxInstances, uint16_t maxSessionInstances, uint16_t maxUserInstances)
{
    const DWORD processID = GetCurrentProcessId();
    bool allowed = true;
    {
        TOptexLock lock(FOptex);
        const std::pair<TInstanceTable*, uint16_t> tables[] = {{&Table(FAllMappingView), maxInstances},
                                                               {&Table(FSessionMappingView), maxSessionInstances},
                                                               {&Table(FUserMappingView), maxUserInstances}};
        for (const auto& [table, limit] : tables) {
            // Every table records the id, whatever an earlier one decided.
            const bool tableAllows = TableRegister(*table, processID, limit);
            allowed = allowed && tableAllows;
        }
    }
    if (allowed)
        NotifyInstances(inCreated, static_cast<LPARAM>(processID));
    return allowed;
}

void TAppInstances::NotifyInstances(WPARAM code, LPARAM value)
{
    TOptexLock lock(FOptex);
    const TInstanceTable& table = Table(FAllMappingView);
    const unsigned count = TableCount(table);
    for (unsigned i = 0; i < count; ++i) {
        if (HWND wnd = GetApplicationWnd(TableProcessID(table, i)))
            NotifyWindowThread(wnd, FMessageID, code, value);
    }
}

DWORD TAppInstances::GetAllProcessIDs(unsigned index)
{
    TOptexLock lock(FOptex);
    return TableProcessID(Table(FAllMappingView), index);
}

unsigned TAppInstances::AllCount()
{
    TOptexLock lock(FOptex);
    return TableCount(Table(FAllMappingView));
}

bool TAppInstances::SwitchTo(unsigned index)
{
    // Without a window (the copy has not made it yet, or has none) nothing changes.
    HWND wnd = GetApplicationWnd(GetAllProcessIDs(index));
    return wnd && BringAppWindowToFront(wnd);
}

void TAppInstances::KillInstance() { std::exit(0); }

TAppInstances& AppInstances()
{
    static TAppInstances instances;
    return instances;
}
