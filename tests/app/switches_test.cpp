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
        {{L"-allow"}, true},
        {{L"/all:1"}, true},
        {{L"C:\\data-all"}, true},
        {{L"x", L"y", L"/ALL"}, true},
        {{L"all"}, false},
        {{L"/al"}, false},
        {{L"/a", L"ll"}, false},  // arguments are separated
        {{}, false},
    };
    for (const auto& c : cases) {
        std::wstring text = BuildSwitchText(c.Arguments);
        EXPECT_EQ(SwitchTextHas(text, L"all"), c.All) << testing::PrintToString(text);
    }
}

TEST(HasSwitch, SwitchText)
{
    EXPECT_EQ(BuildSwitchText({L"/all", L"C:/x-y"}), L"-all|C:-x-y|");
    EXPECT_EQ(BuildSwitchText({}), L"");
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
