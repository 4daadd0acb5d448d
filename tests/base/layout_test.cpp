// A dialog's layout between runs, in a scratch hive of the current user: it opens at its
// stored size beside the window the user works in, keeps its size however it closes, takes from
// a hand-edited value only what it can use, and closes quietly when the key cannot be written.
#include "common/format.h"
#include "common/registry.h"
#include "tests/support/key_access.h"
#include "tests/support/message_box_hook.h"
#include "tests/support/scratch_current_user.h"
#include "ui/base/application.h"
#include "ui/base/delay.h"
#include "ui/base/layout.h"
#include "ui/base/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

namespace {

constexpr const wchar_t* DialogSection = L"Software\\Talvora\\Orvessa\\FormLayoutTest";
constexpr SIZE MinimumSize{300, 260};
constexpr UINT WM_SHOWN = WM_APP + 1;

// A resizable dialog with a minimum size that keeps its layout as the properties dialog does.
// OnShown runs once it is shown, inside its modal loop.
class TLayoutDialog : public TWindow {
public:
    explicit TLayoutDialog(std::function<void(TLayoutDialog&)> onShown) : FOnShown(std::move(onShown))
    {
        CreateForm({.ClassName = L"TLayoutDialog",
                    .Caption = L"Layout dialog",
                    .ClientWidth = 360,
                    .ClientHeight = 220,
                    .Style = WS_OVERLAPPEDWINDOW,
                    .Name = L"FormLayoutTest"});
    }

protected:
    void FormShow() override
    {
        LoadDialogLayout(*this);
        PostMessageW(Handle(), WM_SHOWN, 0, 0);
    }
    void FormClose() override { SaveDialogLayout(*this); }
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_GETMINMAXINFO) {
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {MinimumSize.cx, MinimumSize.cy};
            return 0;
        }
        if (msg == WM_SHOWN) {
            FOnShown(*this);
            return 0;
        }
        return TWindow::WndProc(msg, wParam, lParam);
    }

private:
    std::function<void(TLayoutDialog&)> FOnShown;
};

// The window the dialog is opened from.
class TOwnerWindow : public TWindow {
public:
    TOwnerWindow() { CreateForm({.ClassName = L"TLayoutOwner", .Caption = L"Owner", .ClientWidth = 500, .ClientHeight = 300}); }
};

RECT WindowRectOf(HWND wnd)
{
    RECT r{};
    GetWindowRect(wnd, &r);
    return r;
}

class DialogLayout : public testing::Test {
protected:
    void SetUp() override
    {
        Application().Initialize();
        Application().ClearTerminated();
        Owner = std::make_unique<TOwnerWindow>();  // owned by the application window
        Owner->Show();
        MoveOwner(100, 100);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(Owner->Handle(), MONITOR_DEFAULTTONEAREST), &monitor);
        WorkArea = monitor.rcWork;
    }
    void TearDown() override
    {
        Owner.reset();
        Application().ClearTerminated();
    }

    void MoveOwner(int left, int top)
    {
        SetWindowPos(Owner->Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        // The user works in it: it is the application's last active window.
        HWND app = Application().Handle();
        const DWORD start = GetTickCount();
        while (GetLastActivePopup(app) != Owner->Handle() && GetTickCount() - start < 5000) {
            SetForegroundWindow(Owner->Handle());
            DelayWithMessages(20);
        }
        ASSERT_EQ(GetLastActivePopup(app), Owner->Handle()) << "the owner was never activated";
    }

    // Opens the dialog; act sees it shown and ends it (the close button when it does not).
    // The dialog's outer rectangle as it was shown.
    RECT Open(const std::function<void(TLayoutDialog&)>& act = {})
    {
        RECT shown{};
        TLayoutDialog dialog([&](TLayoutDialog& d) {
            shown = WindowRectOf(d.Handle());
            if (act)
                act(d);
            if (d.ModalResult() == mrNone)
                d.Close();
        });
        dialog.ShowModal();
        return shown;
    }

    void Store(const wchar_t* name, DWORD type, const std::wstring& text)
    {
        UniqueRegKey key;
        ASSERT_EQ(CreateRegKey(User.Key(), DialogSection, KEY_ALL_ACCESS, key), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    std::optional<std::wstring> Stored(const wchar_t* name) { return ReadRegText(User.Key(), DialogSection, name); }

    static SIZE DesignedSize()
    {
        RECT r{0, 0, 360, 220};
        AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
        return {r.right - r.left, r.bottom - r.top};
    }

    TScratchCurrentUser User;
    std::unique_ptr<TOwnerWindow> Owner;
    RECT WorkArea{};
};

void ExpectRect(const RECT& r, LONG left, LONG top, SIZE size)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right - r.left, size.cx);
    EXPECT_EQ(r.bottom - r.top, size.cy);
}

TEST_F(DialogLayout, KeepsItsSizeAndOpensBesideTheWindowItIsOpenedFrom)
{
    // Nothing stored: the designed size, 24 pixels right of and below the owner.
    ExpectRect(Open([](TLayoutDialog& d) {
                   SetWindowPos(d.Handle(), nullptr, 0, 0, 520, 430, SWP_NOMOVE | SWP_NOZORDER);
                   d.SetModalResult(mrCancel);
               }),
               124, 124, DesignedSize());
    // Cancelled, and its size kept all the same.
    EXPECT_EQ(Stored(L"Size"), L"520,430");

    ExpectRect(Open(), 124, 124, {520, 430});

    // Opened from a window near the work area's far corner: pulled back inside it.
    MoveOwner(WorkArea.right - 60, WorkArea.bottom - 40);
    const RECT flush = Open();
    EXPECT_EQ(flush.right, WorkArea.right);
    EXPECT_EQ(flush.bottom, WorkArea.bottom);
    EXPECT_EQ(flush.right - flush.left, 520);

    // Closed with OK while minimised: the size it comes back with is kept, not its icon's.
    MoveOwner(100, 100);
    Open([](TLayoutDialog& d) {
        SetWindowPos(d.Handle(), nullptr, 0, 0, 470, 380, SWP_NOMOVE | SWP_NOZORDER);
        ShowWindow(d.Handle(), SW_MINIMIZE);
        d.SetModalResult(mrOk);
    });
    EXPECT_EQ(Stored(L"Size"), L"470,380");
    ExpectRect(Open(), 124, 124, {470, 380});
}

TEST_F(DialogLayout, TakesFromAStoredSizeOnlyWhatItCanUse)
{
    struct Case {
        const char* Name;
        DWORD Type;
        const wchar_t* Text;
        std::optional<SIZE> Size;  // nothing: the designed size
    };
    const Case cases[] = {
        {"text", REG_SZ, L" 500 , 400", SIZE{500, 400}},
        {"expandable text reads like text", REG_EXPAND_SZ, L"510,410", SIZE{510, 410}},
        {"another type is ignored", REG_BINARY, L"520,420", std::nullopt},
        {"below the minimum: raised to it", REG_SZ, L"100,100", MinimumSize},
        {"a negative number is ignored like a zero", REG_SZ, L"-530,420", std::nullopt},
        {"one number", REG_SZ, L"530", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Store(L"Size", c.Type, c.Text);
        ExpectRect(Open([](TLayoutDialog& d) { d.SetModalResult(mrCancel); }), 124, 124, c.Size.value_or(DesignedSize()));
    }
}

TEST_F(DialogLayout, ClosesQuietlyWhenItsKeyCannotBeWrittenAndKeepsWhatWasStored)
{
    constexpr const wchar_t* Settings = L"Software\\Talvora\\Orvessa";
    // The rights to change the rights stay, so that the key can be given back and removed.
    constexpr DWORD Keeper = READ_CONTROL | WRITE_DAC | DELETE;
    struct Case {
        const char* Name;
        DWORD Rights;
        std::optional<SIZE> Shown;  // nothing: the designed size
    };
    const Case cases[] = {
        {"read only: the stored size", KEY_READ | Keeper, SIZE{500, 400}},
        {"not even readable: as designed", Keeper, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Store(L"Size", REG_SZ, L"500,400");
        SetKeyAccess(User.Key(), DialogSection, c.Rights);
        SetKeyAccess(User.Key(), Settings, c.Rights);
        UniqueRegKey probe;
        ASSERT_NE(OpenRegKey(User.Key(), DialogSection, KEY_SET_VALUE, probe), ERROR_SUCCESS)
            << "the platform lets the key be written";
        ScriptedMessageBoxes boxes;

        const RECT shown = Open([](TLayoutDialog& d) {
            SetWindowPos(d.Handle(), nullptr, 0, 0, 520, 430, SWP_NOMOVE | SWP_NOZORDER);
            d.SetModalResult(mrOk);
        });
        ExpectRect(shown, 124, 124, c.Shown.value_or(DesignedSize()));
        EXPECT_TRUE(boxes.Asked.empty()) << "reported: " << ToUtf8(boxes.Asked.front().Text);

        SetKeyAccess(User.Key(), Settings, KEY_ALL_ACCESS);
        SetKeyAccess(User.Key(), DialogSection, KEY_ALL_ACCESS);
        EXPECT_EQ(Stored(L"Size"), L"500,400");
    }
}

}  // namespace
