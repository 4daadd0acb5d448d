#include "common/errors.h"
#include "common/format.h"
#include "tests/support/message_box_hook.h"
#include "ui/base/application.h"
#include "ui/base/busy.h"

#include <gtest/gtest.h>

namespace {
TEST(Errors, PlatformErrorTexts)
{
    const std::wstring denied = SysErrorMessage(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(denied.empty());
    EXPECT_NE(denied.back(), L'.');
    EXPECT_NE(denied.back(), L'\n');
    EXPECT_EQ(EOSError(5).Message(), L"System Error.  Code: 5.\r\n" + denied);
    EXPECT_EQ(EOSError(0).Message(), L"A call to an OS function failed");
    EXPECT_EQ(EWin32Error(5, L"Failed to create event").Message(),
              L"Win32 error: " + denied + L" (5)\r\nFailed to create event");
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    try {
        Win32Check(FALSE);
        FAIL();
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), 1060u);
        EXPECT_EQ(e.Message().rfind(L"System Error.  Code: 1060.\r\n", 0), 0u);
    }
}

// The system's text alone: a failed call, and a sizing call that did not fail for lack of room
// (it failed otherwise, or it succeeded where it could not have).
TEST(Errors, SystemTextChecks)
{
    auto raised = [](auto call) {
        try {
            call();
        } catch (const Exception& e) {
            return e.Message();
        }
        return std::wstring(L"nothing raised");
    };
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(raised([] { SystemTextCheck(FALSE); }), SysErrorMessage(ERROR_ACCESS_DENIED));
    SetLastError(ERROR_INVALID_SID);
    EXPECT_EQ(raised([] { ExpectTooSmall(FALSE); }), SysErrorMessage(ERROR_INVALID_SID));
    EXPECT_EQ(raised([] { ExpectTooSmall(TRUE); }), SysErrorMessage(ERROR_SUCCESS));
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(raised([] { ExpectTooSmall(FALSE); }), L"nothing raised");
    EXPECT_EQ(raised([] { SystemTextCheck(TRUE); }), L"nothing raised");
}

TEST(Errors, AssertionFailureNamesFileAndLine)
{
    try {
        SM_ASSERT(1 + 1 == 3);
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), Fmt(L"Assertion failure (errors_test.cpp, line %d)", {__LINE__ - 3}));
    }
}

TEST(Format, Placeholders)
{
    EXPECT_EQ(Fmt(L"Error installing service (exitcode=0x%x).", {255u}), L"Error installing service (exitcode=0xFF).");
    EXPECT_EQ(Fmt(L"0x%x", {0xC0000005u}), L"0xC0000005");
    EXPECT_EQ(Fmt(L"0x%x", {-1}), L"0xFFFFFFFF");
    EXPECT_EQ(Fmt(L"%s: %s failed.", {L"svc", L"Starting"}), L"svc: Starting failed.");
    EXPECT_EQ(Fmt(L"%d%% %u", {-5, 7u}), L"-5% 7");
}

struct ReportCase {
    const wchar_t* Message;
    const wchar_t* Shown;
};

TEST(DefaultReport, AppendsAFullStopWhenTheLastCharacterSortsAfterIt)
{
    const ReportCase cases[] = {
        {L"Access denied", L"Access denied."},
        {L"Done.", L"Done."},
        {L"Really?", L"Really?."},
        {L"Ends with a blank ", L"Ends with a blank "},
        {L"closing)", L"closing)"},  // ')' sorts before '.'
        {L"Range -", L"Range -"},
        {L"slash/", L"slash/."},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExceptionReportText(c.Message), c.Shown) << ToUtf8(c.Message);
}

TEST(DefaultReport, ShowsTitleErrorIconAndMessage)
{
    Application().SetTitle(L"Report Title");
    ScriptedMessageBoxes boxes;
    GuardedCall([] { throw EOSError(0); });
    GuardedCall([] { throw std::runtime_error("plain"); });
    ASSERT_EQ(boxes.Asked.size(), 2u);
    EXPECT_EQ(boxes.Asked[0].Text, L"A call to an OS function failed.");
    EXPECT_EQ(boxes.Asked[0].Caption, L"Report Title");
    EXPECT_EQ(boxes.Asked[0].Flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(boxes.Asked[1].Text, L"plain.");
}

TEST(Busy, NestingCounter)
{
    ASSERT_EQ(BusyCount(), 0);
    EndBusy();  // at zero: nothing
    EXPECT_EQ(BusyCount(), 0);
    BeginBusy();
    {
        TBusyCursor inner;
        EXPECT_EQ(BusyCount(), 2);
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    }
    EXPECT_EQ(BusyCount(), 1);
    try {
        TBusyCursor failing;
        throw std::runtime_error("x");
    } catch (...) {
    }
    EXPECT_EQ(BusyCount(), 1);
    EndBusy();
    EXPECT_EQ(BusyCount(), 0);
    EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
}
}  // namespace
