#include "ui/main/form_connect.h"

#include "common/computer_name.h"
#include "common/registry.h"
#include "common/settings_key.h"
#include "common/strings.h"
#include "ui/base/layout.h"
#include "ui/base/message_box.h"

#include <commctrl.h>

#include <iterator>
#include <memory>

namespace {
constexpr const wchar_t* HistoryValue = L"ComputerHistory";

const TControlSpec Components[] = {
    {TFormConnect::IdLocal, L"RbLocal", L"BUTTON", L"&Local computer", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0,
     12, 12, 260, 17},
    {TFormConnect::IdRemote, L"RbRemote", L"BUTTON", L"&Another computer:", BS_AUTORADIOBUTTON, 0, 12, 36, 260, 17},
    {TFormConnect::IdName, L"CbName", WC_COMBOBOXW, nullptr,
     CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0, 30, 58, 242, 160},
    {TFormConnect::IdNameHint, L"LabelNameHint", L"STATIC", L"Its name or IP address, with or without \\\\", SS_LEFT,
     0, 30, 84, 242, 15},
    {TFormConnect::IdBtnOk, L"BtnOk", L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 116, 112, 75,
     25},
    {TFormConnect::IdBtnCancel, L"BtnCancel", L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 0, 197, 112, 75, 25},
};
}  // namespace

TFormConnect::TFormConnect(const std::wstring& machineName, const std::vector<std::wstring>& history)
{
    CreateForm({.ClassName = ClassName,
                .Caption = Title,
                .ClientWidth = 284,
                .ClientHeight = 149,
                .Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPSIBLINGS,
                .ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT});
    CreateControls(Components, std::size(Components));
    HWND box = Control(IdName);
    for (const std::wstring& name : history)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    // Room for the name and its "\\".
    SendMessageW(box, CB_LIMITTEXT, MaxComputerNameLength + 2, 0);
    SetWindowTextW(box, machineName.empty() ? (history.empty() ? L"" : history.front().c_str()) : machineName.c_str());
    CheckRadioButton(Handle(), IdLocal, IdRemote, machineName.empty() ? IdLocal : IdRemote);
}

void TFormConnect::FormShow()
{
    CentreOnScreen(Handle());
    FFocused = IsDlgButtonChecked(Handle(), IdRemote) ? Control(IdName) : Control(IdLocal);
}

LRESULT TFormConnect::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Typing or choosing a name chooses another computer.
    if (msg == WM_COMMAND && LOWORD(wParam) == IdName &&
        (HIWORD(wParam) == CBN_EDITCHANGE || HIWORD(wParam) == CBN_SELCHANGE || HIWORD(wParam) == CBN_SETFOCUS))
        CheckRadioButton(Handle(), IdLocal, IdRemote, IdRemote);
    return TDialogWindow::WndProc(msg, wParam, lParam);
}

void TFormConnect::BtnOkClick()
{
    if (IsDlgButtonChecked(Handle(), IdLocal)) {
        FChosen.clear();
        SetModalResult(mrOk);
        return;
    }
    std::wstring error;
    std::optional<std::wstring> name = ComputerNameFromText(WindowText(Control(IdName)), error);
    if (!name) {
        AppMessageBox(error, Title, MB_ICONERROR);
        SetFocus(Control(IdName));
        return;
    }
    FChosen = *name;
    SetModalResult(mrOk);
}

std::vector<std::wstring> LoadComputerHistory()
{
    std::vector<std::wstring> names;
    UniqueRegKey key;
    TRegValue value;
    if (OpenRegKey(HKEY_CURRENT_USER, SettingsKey, KEY_READ, key) != ERROR_SUCCESS ||
        ReadRegValue(key.get(), HistoryValue, value) != ERROR_SUCCESS || value.Type != REG_MULTI_SZ)
        return names;
    // Entries up to the first empty one; the stored names may have been edited by hand.
    const std::wstring text = RegDataText(value.Data);
    size_t start = 0;
    while (start < text.size() && names.size() < ComputerHistorySize) {
        size_t end = text.find(L'\0', start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end == start)
            break;
        std::wstring error;
        if (std::optional<std::wstring> name = ComputerNameFromText(text.substr(start, end - start), error))
            names.push_back(*name);
        start = end + 1;
    }
    return names;
}

void SaveComputerHistory(const std::vector<std::wstring>& names)
{
    std::wstring data;
    for (const std::wstring& name : names)
        data += name + L'\0';
    data += L'\0';
    UniqueRegKey key = OpenLayoutKey();
    if (key)
        RegSetValueExW(key.get(), HistoryValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

void AddToComputerHistory(std::vector<std::wstring>& names, const std::wstring& name)
{
    std::erase_if(names, [&](const std::wstring& n) { return CompareTextCI(n, name) == 0; });
    names.insert(names.begin(), name);
    if (names.size() > ComputerHistorySize)
        names.resize(ComputerHistorySize);
}

bool AskComputer(std::wstring& machineName)
{
    std::vector<std::wstring> history = LoadComputerHistory();
    auto form = std::make_unique<TFormConnect>(machineName, history);
    if (form->ShowModal() != mrOk)
        return false;
    const std::wstring chosen = form->Chosen();
    form.reset();
    if (!chosen.empty()) {
        AddToComputerHistory(history, chosen);
        SaveComputerHistory(history);
    }
    machineName = IsThisComputerName(chosen) ? std::wstring() : chosen;
    return true;
}
