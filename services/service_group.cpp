#include "services/service_group.h"

#include "common/errors.h"

TServiceGroup::TServiceGroup(TSCManager* ASCManager, const std::wstring& AName, int AOrder)
    : FSCManager(ASCManager), FName(AName), FOrder(AOrder)
{
    SM_ASSERT(ASCManager != nullptr);
}
