#include "tests/props_e2e/props_dialog_driver.h"

#include "tests/support/program_driver.h"
#include "tests/support/screen_capture.h"
#include "tests/support/user_input.h"
#include "ui/props/form_props.h"
#include "ui/props/form_select_type.h"

HWND TPropsDialogDriver::PressInsert() const
{
    BringToFront(FWindow.Main());
    PressKey(VK_INSERT);
    return WaitFor(TFormSelectType::ClassName);
}

HWND TPropsDialogDriver::ChooseKind(HWND kindDialog, int index) const
{
    if (!kindDialog)
        return nullptr;
    Click(kindDialog, TFormSelectType::IdFirstRadioItem + index);
    Click(kindDialog, IDOK);
    return WaitFor(TFormProps::ClassName);
}

HWND TPropsDialogDriver::OpenProperties(const std::wstring& caption) const
{
    if (!FWindow.ClickRow(caption))
        return nullptr;
    PressKey(VK_RETURN);
    return WaitFor(TFormProps::ClassName);
}

std::wstring TPropsDialogDriver::Text(HWND dialog, int id)
{
    HWND box = Item(dialog, id);
    std::wstring text(static_cast<size_t>(SendMessageW(box, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(
        SendMessageW(box, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

void TPropsDialogDriver::SetText(HWND dialog, int id, const std::wstring& text)
{
    SendMessageW(Item(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TPropsDialogDriver::Click(HWND dialog, int id) { PostMessageW(Item(dialog, id), BM_CLICK, 0, 0); }

bool TPropsDialogDriver::Checked(HWND dialog, int id)
{
    return SendMessageW(Item(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool TPropsDialogDriver::SelectDependency(HWND dialog, const std::wstring& name)
{
    HWND combo = Item(dialog, TFormProps::IdComboDepend);
    LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    if (index == CB_ERR)
        return false;
    return SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == index;
}

int TPropsDialogDriver::DependencyCount(HWND dialog)
{
    return static_cast<int>(SendMessageW(Item(dialog, TFormProps::IdComboDepend), CB_GETCOUNT, 0, 0));
}

HWND TPropsDialogDriver::WaitFor(const wchar_t* className, DWORD timeoutMs) const
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FWindow.Program().FindWindowOfClass(className, true)) != nullptr; }, timeoutMs);
    return found;
}

bool TPropsDialogDriver::WaitGone(const wchar_t* className, DWORD timeoutMs) const
{
    return WaitUntil([&] { return FWindow.Program().FindWindowOfClass(className, true) == nullptr; }, timeoutMs);
}

std::wstring TPropsDialogDriver::AnswerMessageBox(DWORD timeoutMs) const
{
    HWND box = WaitFor(L"#32770", timeoutMs);
    if (!box)
        return L"(no message box)";
    std::wstring text = WindowText(box) + L": " + MessageBoxText(box);
    PressButton(box, IDOK);
    WaitGone(L"#32770", timeoutMs);
    return text;
}

void SaveWindowPicture(HWND wnd, const std::wstring& path)
{
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
    TScreenCapture(WindowScreenRect(wnd)).SaveBmp(path);
}
