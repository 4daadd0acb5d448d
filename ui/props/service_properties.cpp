#include "ui/props/service_properties.h"

#include "common/registry.h"
#include "erp/executables.h"
#include "ui/props/form_props.h"
#include "ui/props/form_select_type.h"

#include <memory>

namespace {
constexpr const wchar_t* KindValue = L"ServiceType";
}

TExeType ReadRememberedKind()
{
    const std::optional<DWORD> stored = ReadRegDword(HKEY_CURRENT_USER, SettingsKey, KindValue);
    if (!stored)
        return etUnknown;
    // Compared as stored: a large number never wraps into a small kind; one that no kind has
    // gives the last offered kind.
    if (const std::optional<TExeType> kind = ExeTypeOfCode(*stored))
        return *kind;
    return OfferedExeTypes().back();
}

void WriteRememberedKind(TExeType kind)
{
    UniqueRegKey key;
    CheckRegStatus(CreateRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_WRITE, key));
    CheckRegStatus(WriteRegDword(key.get(), KindValue, kind));
}

bool ShowServiceProperties(TSCManager& catalogue, TNtService* service)
{
    TExeType kind = etUnknown;
    if (!service) {
        kind = ReadRememberedKind();
        if (!SelectExeType(kind))
            return false;
        WriteRememberedKind(kind);
    }
    auto form = std::make_unique<TFormProps>(catalogue, service, kind);
    form->LoadService();
    return form->ShowModal() == mrOk;
}
