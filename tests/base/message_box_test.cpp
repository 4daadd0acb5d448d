// A message box answers the keyboard as its buttons say, also when the program had lost the
// activation to a window of nobody's (an ended installer leaves the desktop in front) and when
// it loses it again just after the box appears: the box is owned by the window the user works
// in, comes to the front, and keys alone close it.
#include "tests/support/message_box_hook.h"
#include "tests/support/user_input.h"
#include "ui/base/application.h"
#include "ui/base/message_box.h"
#include "ui/base/window.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
class TPlainForm : public TWindow {
public:
    TPlainForm(const wchar_t* className, HWND owner = nullptr)
    {
        CreateForm({.ClassName = className, .Caption = className, .ClientWidth = 200, .ClientHeight = 120}, owner);
    }
};

struct TTicks {
    static inline std::function<void()> OnTick;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (OnTick)
            OnTick();
    }
};

TEST(AppMessageBoxKeys, EveryBoxAnswersTheKeysAsItsButtonsSay)
{
    Application().Initialize();
    TPlainForm main(L"TMessageBoxTestMain");
    main.Show();
    const struct {
        const char* Name;
        UINT Flags;
        WORD Key;
        int Answer;  // 0: IDOK or IDCANCEL
    } cases[] = {
        {"OK, Enter", MB_OK | MB_ICONERROR, VK_RETURN, IDOK},
        {"OK, Space", MB_OK | MB_ICONERROR, VK_SPACE, IDOK},
        // Windows answers IDOK here, Wine IDCANCEL: either closes the box.
        {"OK, Escape", MB_OK | MB_ICONERROR, VK_ESCAPE, 0},
        {"OK and Cancel, Escape", MB_OKCANCEL, VK_ESCAPE, IDCANCEL},
        {"Yes and No, Enter", MB_YESNO | MB_ICONQUESTION, VK_RETURN, IDYES},
        {"Yes and No, No first, Space", MB_YESNO | MB_DEFBUTTON2, VK_SPACE, IDNO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPlainForm dialog(L"TMessageBoxTestDialog", main.Handle());
        int answer = 0, tick = 0, inFront = 0;
        HWND box = nullptr;
        bool pressed = false;
        TTicks::OnTick = [&] {
            ++tick;
            if (tick == 2) {
                // What an ended installer leaves: nobody's window in front.
                SetForegroundWindow(GetDesktopWindow());
                answer = AppMessageBox(L"Something failed.", L"Test", c.Flags);
                dialog.SetModalResult(mrOk);
            } else if (tick > 2 && !pressed) {
                if (!box && (box = ThreadMessageBox()) != nullptr) {
                    EXPECT_EQ(GetWindow(box, GW_OWNER), dialog.Handle());
                    // A late focus change takes the activation once more.
                    SetForegroundWindow(GetDesktopWindow());
                }
                if (box && GetForegroundWindow() == box && ++inFront == 3) {
                    PressKey(c.Key);
                    pressed = true;
                }
                if (tick > 200) {
                    ADD_FAILURE() << "the box never came to the front";
                    if (box)
                        PostMessageW(box, WM_CLOSE, 0, 0);
                    pressed = true;
                }
            } else if (tick > 400) {
                dialog.SetModalResult(mrCancel);
            }
        };
        UINT_PTR timer = SetTimer(nullptr, 0, 25, &TTicks::Tick);
        dialog.ShowModal();
        KillTimer(nullptr, timer);
        TTicks::OnTick = nullptr;
        if (c.Answer)
            EXPECT_EQ(answer, c.Answer);
        else
            EXPECT_TRUE(answer == IDOK || answer == IDCANCEL) << answer;
    }
}
}  // namespace
