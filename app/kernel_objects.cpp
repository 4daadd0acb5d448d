#include "app/kernel_objects.h"

#include "common/errors.h"

TEvent::TEvent(SECURITY_ATTRIBUTES* security, bool manualReset, bool initialState, const std::wstring& name)
    : FHandle(CreateEventW(security, manualReset, initialState, name.empty() ? nullptr : name.c_str()))
{
    if (!FHandle)
        throw EWin32Error(GetLastError(), L"Failed to create event");
    FExisted = GetLastError() == ERROR_ALREADY_EXISTS;
}

TSwapFileMapping::TSwapFileMapping(const std::wstring& name, DWORD size, SECURITY_ATTRIBUTES* security)
    : FHandle(CreateFileMappingW(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0, size, name.c_str())), FSize(size)
{
    if (!FHandle)
        throw EWin32Error(GetLastError(), L"Failed to create FileMapping");
    FExisted = GetLastError() == ERROR_ALREADY_EXISTS;
}

TFileMappingView::TFileMappingView(const TSwapFileMapping& mapping, DWORD access, DWORD offset, DWORD size)
    : FView(MapViewOfFile(mapping.Handle(), access, 0, offset, size)), FSize(size)
{
    if (!FView)
        throw EWin32Error(GetLastError(), L"Failed to create FileMappingView");
}
