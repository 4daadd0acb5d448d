#include "ui/base/actions.h"

#include "ui/base/application.h"
#include "ui/controls/tool_bar.h"

std::wstring ShortCutToText(const TShortCut& s)
{
    if (s.Key == 0)
        return {};
    std::wstring text;
    if (s.Ctrl)
        text += L"Ctrl+";
    if (s.Shift)
        text += L"Shift+";
    if (s.Alt)
        text += L"Alt+";
    switch (s.Key) {
    case VK_DELETE:
        return text + L"Del";
    case VK_INSERT:
        return text + L"Ins";
    case VK_RETURN:
        return text + L"Enter";
    case VK_ESCAPE:
        return text + L"Esc";
    default:
        break;
    }
    if (s.Key >= VK_F1 && s.Key <= VK_F24)
        return text + L"F" + std::to_wstring(s.Key - VK_F1 + 1);
    return text + static_cast<wchar_t>(s.Key);
}

TAction& TActionList::Add(TAction action)
{
    FActions.push_back(std::move(action));
    return FActions.back();
}

TAction* TActionList::Find(int id)
{
    for (auto& a : FActions)
        if (a.Id == id)
            return &a;
    return nullptr;
}

TAction* TActionList::FindByName(const std::wstring& name)
{
    for (auto& a : FActions)
        if (a.Name == name)
            return &a;
    return nullptr;
}

bool TActionList::Execute(int id)
{
    // The enabling may have changed since the last idle step.
    Update();
    TAction* action = Find(id);
    if (!action || !action->Enabled || !action->OnExecute)
        return false;
    auto handler = action->OnExecute;  // the handler may rebuild the list of actions' owner
    GuardedCall(handler);
    return true;
}

TAction* TActionList::FindShortCut(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
        return nullptr;
    TShortCut pressed{static_cast<WORD>(msg.wParam), (GetKeyState(VK_MENU) & 0x8000) != 0,
                      (GetKeyState(VK_CONTROL) & 0x8000) != 0, (GetKeyState(VK_SHIFT) & 0x8000) != 0};
    for (auto& a : FActions)
        for (const auto& s : a.ShortCuts)
            if (s == pressed)
                return &a;
    return nullptr;
}

void TActionList::Update()
{
    if (OnUpdate)
        OnUpdate();
    SyncToolBar();
}

void TActionList::SyncToolBar()
{
    for (HWND bar : FToolBars) {
        if (!IsWindow(bar))
            continue;
        for (const auto& a : FActions) {
            const TToolBar toolBar(bar);
            const std::optional<bool> enabled = toolBar.ButtonEnabled(a.Id);
            if (enabled && *enabled != a.Enabled)
                toolBar.EnableButton(a.Id, a.Enabled);
        }
    }
}

void TActionList::FillToolBar(HWND toolBar, const std::vector<int>& entries)
{
    std::vector<TBBUTTON> buttons;
    for (int id : entries) {
        TBBUTTON b{};
        if (id == Separator) {
            b.iBitmap = 8;  // separator width
            b.fsStyle = BTNS_SEP;
        } else {
            const TAction* a = Find(id);
            if (!a)
                continue;
            b.iBitmap = a->ImageIndex;
            b.idCommand = a->Id;
            b.fsState = a->Enabled ? TBSTATE_ENABLED : 0;
            b.fsStyle = BTNS_BUTTON;
            b.iString = -1;
        }
        buttons.push_back(b);
    }
    TToolBar(toolBar).AddButtons(buttons);
    FToolBars.push_back(toolBar);
}

HMENU TActionList::BuildMenu(const std::vector<int>& entries)
{
    HMENU menu = CreatePopupMenu();
    for (int id : entries) {
        if (id == Separator) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        TAction* a = Find(id);
        if (!a)
            continue;
        std::wstring text = a->Caption;
        if (!a->ShortCuts.empty())
            text += L"\t" + ShortCutToText(a->ShortCuts.front());
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
        mii.wID = static_cast<UINT>(a->Id);
        mii.dwTypeData = text.data();
        mii.fState = a->Enabled ? MFS_ENABLED : MFS_DISABLED;
        if (a->ImageIndex >= 0 && MenuImages) {
            mii.fMask |= MIIM_BITMAP | MIIM_DATA;
            mii.hbmpItem = HBMMENU_CALLBACK;
            mii.dwItemData = static_cast<ULONG_PTR>(a->ImageIndex);
        }
        InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &mii);
    }
    return menu;
}

void TActionList::UpdateMenu(HMENU menu) const
{
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        UINT id = GetMenuItemID(menu, i);
        for (const auto& a : FActions)
            if (static_cast<UINT>(a.Id) == id)
                EnableMenuItem(menu, static_cast<UINT>(i), MF_BYPOSITION | (a.Enabled ? MF_ENABLED : MF_GRAYED));
    }
}

const wchar_t* TActionList::HintOf(int id)
{
    TAction* a = Find(id);
    if (!a)
        return L"";
    // "Short|Long": the tool tip shows the short part.
    const size_t bar = a->Hint.find(L'|');
    if (bar == std::wstring::npos)
        return a->Hint.c_str();
    FHintText = a->Hint.substr(0, bar);
    return FHintText.c_str();
}

std::wstring TActionList::LongHintOf(int id)
{
    TAction* a = Find(id);
    if (!a)
        return {};
    const size_t bar = a->Hint.find(L'|');
    return bar == std::wstring::npos ? a->Hint : a->Hint.substr(bar + 1);
}
