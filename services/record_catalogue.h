// What a record (TNtService) needs of the catalogue that holds it: the manager and its handle,
// to open its service; the lookups that link its dependencies and its group; whether the
// manager can read descriptions. The catalogue (TSCManager) implements it, so that the record
// depends on this much alone.
#pragma once

#include "services/scm_api.h"

#include <windows.h>
#include <winsvc.h>

#include <string>

class TNtService;
class TServiceGroup;

class IRecordCatalogue {
public:
    virtual IServiceControlManager& Scm() const = 0;
    // The manager's handle, through which the record opens its service.
    virtual SC_HANDLE Handle() const = 0;
    // Names compare without regard to the case of ASCII letters.
    virtual bool FindService(const std::wstring& SvcName, TNtService*& NtSvc) const = 0;
    // With AutoAdd a missing group is created and returned in SvcGrp; the result is still false.
    virtual bool FindGroup(const std::wstring& GrpName, TServiceGroup*& SvcGrp, bool AutoAdd = true) = 0;
    // Whether the manager offers QueryServiceConfig2W (asked once).
    virtual bool HasDescriptionQuery() = 0;

protected:
    ~IRecordCatalogue() = default;
};
