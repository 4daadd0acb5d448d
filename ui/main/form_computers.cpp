#include "ui/main/form_computers.h"

#include "common/computer_name.h"
#include "ui/base/layout.h"
#include "ui/base/message_box.h"
#include "ui/main/installation_computers.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <utility>

namespace {
const TControlSpec Components[] = {
    {TFormComputers::IdListLabel, L"LabelComputers", L"STATIC", L"&Computers, in the list's order:", SS_LEFT, 0, 12,
     12, 240, 15},
    {TFormComputers::IdList, L"LbComputers", L"LISTBOX", nullptr,
     LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_GROUP | WS_TABSTOP, 0, 12, 30, 240, 150},
    {TFormComputers::IdRemove, L"BtnRemove", L"BUTTON", L"&Remove", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 262, 30,
     86, 25},
    {TFormComputers::IdUp, L"BtnUp", L"BUTTON", L"Move &up", BS_PUSHBUTTON | WS_TABSTOP, 0, 262, 61, 86, 25},
    {TFormComputers::IdDown, L"BtnDown", L"BUTTON", L"Move &down", BS_PUSHBUTTON | WS_TABSTOP, 0, 262, 92, 86, 25},
    {TFormComputers::IdNameLabel, L"LabelName", L"STATIC", L"&Add a computer: its name or IP address", SS_LEFT, 0, 12,
     192, 240, 15},
    {TFormComputers::IdName, L"CbName", WC_COMBOBOXW, nullptr,
     CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_GROUP | WS_TABSTOP, 0, 12, 210, 240, 160},
    {TFormComputers::IdAdd, L"BtnAdd", L"BUTTON", L"A&dd", BS_PUSHBUTTON | WS_TABSTOP, 0, 262, 208, 86, 25},
    {TFormComputers::IdBtnOk, L"BtnOk", L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 182, 250, 80,
     25},
    {TFormComputers::IdBtnCancel, L"BtnCancel", L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 0, 268, 250, 80,
     25},
};

std::wstring ListEntry(const std::wstring& computer)
{
    return computer.empty() ? ComputerDisplayName(computer) + L" (this computer)" : computer;
}
}  // namespace

TFormComputers::TFormComputers(const std::vector<std::wstring>& computers, const std::vector<std::wstring>& history)
    : FComputers(computers), FHistory(history)
{
    CreateForm({.ClassName = ClassName,
                .Caption = Title,
                .ClientWidth = 360,
                .ClientHeight = 287,
                .Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPSIBLINGS,
                .ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT});
    CreateControls(Components, std::size(Components));
    // Room for the name and its "\\".
    SendMessageW(Control(IdName), CB_LIMITTEXT, MaxComputerNameLength + 2, 0);
    FillHistory();
    ShowComputers(0);
}

void TFormComputers::FormShow()
{
    CentreOnScreen(Handle());
    FFocused = Control(IdName);
}

void TFormComputers::FillHistory()
{
    HWND box = Control(IdName);
    const std::wstring typed = WindowText(box);
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& name : FHistory)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SetWindowTextW(box, typed.c_str());
}

void TFormComputers::ShowComputers(int selected)
{
    HWND list = Control(IdList);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& computer : FComputers)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ListEntry(computer).c_str()));
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    UpdateButtons();
}

void TFormComputers::UpdateButtons()
{
    const int selected = static_cast<int>(SendMessageW(Control(IdList), LB_GETCURSEL, 0, 0));
    const int count = static_cast<int>(FComputers.size());
    // The installation keeps one computer at least.
    EnableWindow(Control(IdRemove), selected >= 0 && count > 1);
    EnableWindow(Control(IdUp), selected > 0);
    EnableWindow(Control(IdDown), selected >= 0 && selected + 1 < count);
}

bool TFormComputers::AddTyped()
{
    const std::wstring typed = WindowText(Control(IdName));
    std::wstring error;
    if (!AddInstallationComputer(FComputers, typed, error)) {
        AppMessageBox(error, Title, MB_ICONERROR);
        SetFocus(Control(IdName));
        return false;
    }
    AddToComputerHistory(FHistory, FComputers.back());
    SetWindowTextW(Control(IdName), L"");
    FillHistory();
    ShowComputers(static_cast<int>(FComputers.size()) - 1);
    return true;
}

void TFormComputers::RemoveSelected()
{
    const int selected = static_cast<int>(SendMessageW(Control(IdList), LB_GETCURSEL, 0, 0));
    if (selected < 0 || FComputers.size() < 2)
        return;
    FComputers.erase(FComputers.begin() + selected);
    ShowComputers(std::min(selected, static_cast<int>(FComputers.size()) - 1));
}

void TFormComputers::MoveSelected(int by)
{
    const int selected = static_cast<int>(SendMessageW(Control(IdList), LB_GETCURSEL, 0, 0));
    const int other = selected + by;
    if (selected < 0 || other < 0 || other >= static_cast<int>(FComputers.size()))
        return;
    std::swap(FComputers[static_cast<size_t>(selected)], FComputers[static_cast<size_t>(other)]);
    ShowComputers(other);
}

void TFormComputers::BtnOkClick()
{
    // A name typed and not added yet is what the user meant to add.
    if (!WindowText(Control(IdName)).empty() && !AddTyped())
        return;
    SetModalResult(mrOk);
}

LRESULT TFormComputers::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IdAdd:
            if (HIWORD(wParam) == BN_CLICKED)
                AddTyped();
            return 0;
        case IdRemove:
            if (HIWORD(wParam) == BN_CLICKED)
                RemoveSelected();
            return 0;
        case IdUp:
        case IdDown:
            if (HIWORD(wParam) == BN_CLICKED)
                MoveSelected(LOWORD(wParam) == IdUp ? -1 : 1);
            return 0;
        case IdList:
            if (HIWORD(wParam) == LBN_SELCHANGE)
                UpdateButtons();
            return 0;
        default:
            break;
        }
    }
    return TDialogWindow::WndProc(msg, wParam, lParam);
}

bool AskInstallationComputers(std::vector<std::wstring>& computers)
{
    auto form = std::make_unique<TFormComputers>(computers, LoadComputerHistory());
    const bool ok = form->ShowModal() == mrOk;
    if (form->History() != LoadComputerHistory())
        SaveComputerHistory(form->History());
    if (ok)
        computers = form->Computers();
    return ok;
}
