// The services of an end-to-end test suite, registered in Wine's real Service Control Manager
// for all its tests, and where the tests leave their pictures.
#pragma once

#include "tests/support/registered_service.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

// A fixture whose services are registered for the whole test suite (by its SetUpTestSuite) and
// stopped and deleted after its last test.
class TE2EServicesTest : public testing::Test {
protected:
    static void Register(std::initializer_list<const TServiceSpec*> wanted);
    static void TearDownTestSuite() { FServices.clear(); }

    static const std::vector<std::unique_ptr<TRegisteredService>>& Services() { return FServices; }
    // The registered service of this description; throws when there is none.
    static const TRegisteredService& Service(const TServiceSpec& wanted);
    // Stops and deletes a service as somebody else would.
    static void Remove(const TServiceSpec& wanted);

private:
    static std::vector<std::unique_ptr<TRegisteredService>> FServices;
};

// The Windows path of a file in this test folder of the build (screenshots).
std::wstring BuildFilePath(const std::wstring& fileName);
