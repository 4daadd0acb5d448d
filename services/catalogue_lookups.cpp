#include "services/catalogue_lookups.h"

#include "common/text.h"
#include "services/sc_buffer.h"
#include "services/sc_manager.h"

#include <climits>

SC_HANDLE TCatalogueLookups::ConnectedHandle()
{
    if (FDropped) {
        if (!FHandle)
            FOwner->Active(true);
        FDropped = false;
    }
    return FHandle.get();
}

void TCatalogueLookups::DropConnection() noexcept
{
    // Its close fails on a dead connection; the handle goes all the same.
    FHandle.reset();
    FDropped = true;
}

bool TCatalogueLookups::FindService(const std::wstring& SvcName, TNtService*& NtSvc) const
{
    auto it = FServiceIndex.find(std::wstring_view(SvcName));
    NtSvc = it == FServiceIndex.end() ? nullptr : it->second;
    return NtSvc != nullptr;
}

void TCatalogueLookups::AddToIndex(const std::wstring& serviceName, TNtService* service)
{
    FServiceIndex.try_emplace(std::wstring_view(serviceName), service);
}

bool TCatalogueLookups::FindGroup(const std::wstring& GrpName, TServiceGroup*& SvcGrp, bool AutoAdd)
{
    for (auto& group : FGroups) {
        if (SameTextAscii(group->Name(), GrpName)) {
            SvcGrp = group.get();
            return true;
        }
    }
    SvcGrp = AutoAdd ? AddGroup(GrpName, GrpName.empty() ? INT_MAX : GroupCount()) : nullptr;
    return false;
}

TServiceGroup* TCatalogueLookups::AddGroup(const std::wstring& name, int order)
{
    FGroups.push_back(std::unique_ptr<TServiceGroup>(new TServiceGroup(FOwner, name, order)));
    return FGroups.back().get();
}

void TCatalogueLookups::TakeGroups(TCatalogueLookups& source)
{
    FGroups = std::move(source.FGroups);
    source.FGroups.clear();
    for (auto& group : FGroups)
        group->FSCManager = FOwner;
}

bool TCatalogueLookups::HasDescriptionQuery()
{
    if (!FQueryServiceConfig2W)
        FQueryServiceConfig2W = FScm->HasQueryServiceConfig2W();
    return *FQueryServiceConfig2W;
}
