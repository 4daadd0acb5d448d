#include "tests/main_e2e/e2e_services.h"

#include "common/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#ifndef E2E_BUILD_DIR
#error E2E_BUILD_DIR must be defined by the build
#endif

std::wstring BuildFilePath(const std::wstring& fileName)
{
    // The Unix path of the build as Wine sees it: the Unix root is drive Z:.
    std::wstring folder = FromUtf8(E2E_BUILD_DIR);
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    return L"Z:" + folder + L"\\" + fileName;
}

std::vector<std::unique_ptr<TRegisteredService>> TE2EServicesTest::FServices;

void TE2EServicesTest::Register(std::initializer_list<const TServiceSpec*> wanted)
{
    for (const TServiceSpec* entry : wanted)
        FServices.push_back(std::make_unique<TRegisteredService>(*entry));
}

const TRegisteredService& TE2EServicesTest::Service(const TServiceSpec& wanted)
{
    for (const auto& s : FServices)
        if (s->Name() == wanted.Name)
            return *s;
    throw std::logic_error("service not registered");
}

void TE2EServicesTest::Remove(const TServiceSpec& wanted)
{
    std::erase_if(FServices, [&](const auto& s) { return s->Name() == wanted.Name; });
}
