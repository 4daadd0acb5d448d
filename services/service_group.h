// TServiceGroup: one load-order group of the catalogue (TSCManager) and the records that belong
// to it. The catalogue makes and frees the groups.
#pragma once

#include <string>
#include <vector>

class TSCManager;
class TNtService;

class TServiceGroup {
public:
    TServiceGroup(const TServiceGroup&) = delete;
    TServiceGroup& operator=(const TServiceGroup&) = delete;

    TSCManager* SCManager() const { return FSCManager; }
    const std::wstring& Name() const { return FName; }
    // Registry order first, then groups met later; 2147483647 for the group with the empty name.
    int Order() const { return FOrder; }
    int ServiceCount() const { return static_cast<int>(FServices.size()); }
    TNtService* GetService(int Idx) const { return FServices.at(static_cast<size_t>(Idx)); }

private:
    friend class TCatalogueLookups;
    friend class TNtService;
    TServiceGroup(TSCManager* ASCManager, const std::wstring& AName, int AOrder);

    TSCManager* FSCManager;
    std::wstring FName;
    int FOrder;
    std::vector<TNtService*> FServices;  // members, not owned
};
