#include "services/service_types.h"

#include <windows.h>
#include <winsvc.h>

#include <cstddef>

namespace {
constexpr DWORD ServiceTypeBits[] = {SERVICE_KERNEL_DRIVER,      SERVICE_FILE_SYSTEM_DRIVER, SERVICE_ADAPTER,
                                     SERVICE_RECOGNIZER_DRIVER,  SERVICE_WIN32_OWN_PROCESS,  SERVICE_WIN32_SHARE_PROCESS,
                                     SERVICE_INTERACTIVE_PROCESS};
constexpr DWORD ControlAcceptedBits[] = {SERVICE_ACCEPT_STOP, SERVICE_ACCEPT_PAUSE_CONTINUE, SERVICE_ACCEPT_SHUTDOWN};

template <typename Set, typename E, std::size_t N>
DWORD SetToCode(Set set, const DWORD (&bits)[N])
{
    DWORD code = 0;
    for (std::size_t i = 0; i < N; ++i)
        if (set.Contains(static_cast<E>(i)))
            code |= bits[i];
    return code;
}

template <typename Set, typename E, std::size_t N>
Set CodeToSet(DWORD code, const DWORD (&bits)[N])
{
    Set set;
    for (std::size_t i = 0; i < N; ++i)
        if (code & bits[i])
            set.Include(static_cast<E>(i));
    return set;
}
}  // namespace

DWORD ServiceTypeCode(TServiceTypes types) { return SetToCode<TServiceTypes, TServiceType>(types, ServiceTypeBits); }

TServiceTypes ServiceTypesOf(DWORD code) { return CodeToSet<TServiceTypes, TServiceType>(code, ServiceTypeBits); }

DWORD ControlsAcceptedCode(TServiceControlAccepteds accepted)
{
    return SetToCode<TServiceControlAccepteds, TServiceControlAccepted>(accepted, ControlAcceptedBits);
}

TServiceControlAccepteds ControlsAcceptedOf(DWORD code)
{
    return CodeToSet<TServiceControlAccepteds, TServiceControlAccepted>(code, ControlAcceptedBits);
}
