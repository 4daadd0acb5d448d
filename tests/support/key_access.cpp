#include "tests/support/key_access.h"

#include "common/handle.h"
#include "common/registry.h"

#include <gtest/gtest.h>

#include <aclapi.h>

void SetKeyAccess(HKEY root, const std::wstring& path, DWORD rights)
{
    UniqueRegKey key;
    ASSERT_EQ(OpenRegKey(root, path, READ_CONTROL | WRITE_DAC, key), ERROR_SUCCESS);
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = rights;
    access.grfAccessMode = SET_ACCESS;
    access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    access.Trustee.ptstrName = const_cast<wchar_t*>(L"EVERYONE");
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &access, nullptr, &acl), ERROR_SUCCESS);
    UniqueLocal owned(acl);
    ASSERT_EQ(SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl, nullptr),
              ERROR_SUCCESS);
}
