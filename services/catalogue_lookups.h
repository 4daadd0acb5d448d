// TCatalogueLookups: what a record (TNtService) needs of the catalogue that holds it: the
// manager and its handle, to open its service; the service index and the load-order groups, to
// link its dependencies and its group; whether the manager can read descriptions. The catalogue
// (TSCManager) owns one and hands it to its records, so that a record depends on this much
// alone; the catalogue fills the index, opens and closes the handle and reads the group order.
#pragma once

#include "services/sc_buffer.h"
#include "services/scm_api.h"
#include "services/service_group.h"

#include <windows.h>
#include <winsvc.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TSCManager;
class TNtService;

class TCatalogueLookups {
public:
    // owner: the catalogue the groups made here belong to.
    TCatalogueLookups(TSCManager* owner, IServiceControlManager& scm) : FOwner(owner), FScm(&scm) {}
    TCatalogueLookups(const TCatalogueLookups&) = delete;
    TCatalogueLookups& operator=(const TCatalogueLookups&) = delete;

    IServiceControlManager& Scm() const { return *FScm; }
    // The manager's handle, through which a record opens its service; the catalogue opens and
    // closes it.
    SC_HANDLE Handle() const { return FHandle.get(); }
    UniqueScHandleOf& ManagerHandle() { return FHandle; }
    // The same, opened anew first when the connection was let go as lost; raises when it
    // cannot be opened.
    SC_HANDLE ConnectedHandle();
    // The connection was found lost (another computer's handles stay dead once it has dropped):
    // the handle is let go, and the next ConnectedHandle opens a new one.
    void DropConnection() noexcept;
    bool Dropped() const { return FDropped && !FHandle; }

    // Names compare without regard to the case of ASCII letters.
    bool FindService(const std::wstring& SvcName, TNtService*& NtSvc) const;
    // Indexes the record by its name (the record's own, which the index refers to: a record
    // keeps its name for its lifetime); the first record of a name wins.
    void AddToIndex(const std::wstring& serviceName, TNtService* service);
    void ClearIndex() { FServiceIndex.clear(); }

    // With AutoAdd a missing group is created and returned in SvcGrp; the result is still false.
    bool FindGroup(const std::wstring& GrpName, TServiceGroup*& SvcGrp, bool AutoAdd = true);
    TServiceGroup* AddGroup(const std::wstring& name, int order);
    int GroupCount() const { return static_cast<int>(FGroups.size()); }
    TServiceGroup* GetGroup(int Idx) const { return FGroups.at(static_cast<size_t>(Idx)).get(); }
    void ClearGroups() { FGroups.clear(); }
    // Moves the groups out, to be freed by the caller once nothing points at them.
    std::vector<std::unique_ptr<TServiceGroup>> ReleaseGroups() { return std::move(FGroups); }
    // Takes source's groups (source is left without groups); they belong to this owner now.
    void TakeGroups(TCatalogueLookups& source);

    // Whether the manager offers QueryServiceConfig2W (asked once).
    bool HasDescriptionQuery();

private:
    TSCManager* FOwner;
    IServiceControlManager* FScm;
    UniqueScHandleOf FHandle;
    bool FDropped = false;
    std::vector<std::unique_ptr<TServiceGroup>> FGroups;
    // Services by name (ASCII letters' case ignored), the first in list order winning: keeps
    // lookups flat. The keys are the records' own names, so that a name is held once.
    std::unordered_map<std::wstring_view, TNtService*, TAsciiFoldedHash, TAsciiFoldedEqual> FServiceIndex;
    // Whether the SCM offers QueryServiceConfig2W, asked on first need.
    std::optional<bool> FQueryServiceConfig2W;
};
