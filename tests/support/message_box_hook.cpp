#include "tests/support/message_box_hook.h"

#include "ui/base/message_box.h"

ScriptedMessageBoxes::ScriptedMessageBoxes(std::deque<int> answers) : FAnswers(std::move(answers))
{
    SetMessageBoxHook([this](const std::wstring& text, const std::wstring& caption, UINT flags) {
        Asked.push_back({text, caption, flags});
        if (FAnswers.empty())
            return IDOK;
        int answer = FAnswers.front();
        FAnswers.pop_front();
        return answer;
    });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() { SetMessageBoxHook(nullptr); }

HWND ThreadMessageBox()
{
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND wnd, LPARAM out) -> BOOL {
            wchar_t name[16] = L"";
            if (IsWindowVisible(wnd) && GetClassNameW(wnd, name, 16) && std::wstring(name) == L"#32770") {
                *reinterpret_cast<HWND*>(out) = wnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}
