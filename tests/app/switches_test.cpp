#include "app/switches.h"

#include <gtest/gtest.h>

namespace {
struct SwitchCase {
    std::vector<std::wstring> Arguments;
    bool All;
};

TEST(HasSwitch, AllSwitch)
{
    const SwitchCase cases[] = {
        {{L"/all"}, true},
        {{L"-ALL"}, true},
        {{L"/All"}, true},
        {{L"/all:1"}, true},
        {{L"x", L"y", L"/ALL"}, true},
        {{L"/computer:erp-far", L"-all"}, true},
        {{L"/computer", L"erp-far", L"/all"}, true},
        // A switch is a whole argument: the name inside another does not count.
        {{L"-allow"}, false},
        {{L"C:\\data-all"}, false},
        {{L"/computer:erp-all1"}, false},
        {{L"/computer", L"erp-all1"}, false},
        {{L"-computer:erp/all"}, false},
        {{L"/computer", L"-all"}, false},  // the computer's name, however odd
        {{L"all"}, false},
        {{L"/al"}, false},
        {{L"/a", L"ll"}, false},
        {{L"/"}, false},
        {{}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ArgumentsHaveSwitch(c.Arguments, L"all"), c.All) << testing::PrintToString(c.Arguments);
}

TEST(HasSwitch, TestProgramHasNoArguments)
{
    EXPECT_FALSE(ShowAllServices);
    EXPECT_FALSE(HasSwitch(L"all"));
}
}  // namespace

namespace {
struct ValueCase {
    std::vector<std::wstring> Arguments;
    std::optional<std::wstring> Computer;
};

TEST(SwitchValue, ComputerWithColonOrAsTheNextArgument)
{
    const ValueCase cases[] = {
        {{L"/computer:erp-app1"}, L"erp-app1"},
        {{L"-COMPUTER:\\\\erp-app1"}, L"\\\\erp-app1"},
        {{L"/computer", L"erp-app1"}, L"erp-app1"},
        {{L"/all", L"/Computer", L"10.0.0.7"}, L"10.0.0.7"},
        {{L"/computer:"}, L""},
        {{L"/computer"}, L""},
        {{L"/computer:a", L"/computer:b"}, L"a"},
        {{L"/computers:x"}, std::nullopt},
        {{L"computer:x"}, std::nullopt},
        {{L"/all"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SwitchValue(c.Arguments, L"computer"), c.Computer) << testing::PrintToString(c.Arguments);
}
}  // namespace
