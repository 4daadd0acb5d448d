#include "ui/props/form_select_type.h"

#include "ui/props/server_picture.h"

#include <algorithm>
#include <iterator>
#include <memory>

namespace {
const TControlSpec Components[] = {
    {TFormSelectType::IdBevel1, L"Bevel1", L"STATIC", nullptr, SS_ETCHEDFRAME, 0, 8, 8, 305, 149},
    {TFormSelectType::IdImage1, L"Image1", L"STATIC", nullptr, SS_OWNERDRAW, 0, 20, 20, 32, 32},
    {TFormSelectType::IdRadios, L"Radios", L"BUTTON", L" Service type ", BS_GROUPBOX, 0, 72, 24, 221, 117},
    {TFormSelectType::IdBtnOk, L"BtnOk", L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 158, 164, 75,
     25},
    {TFormSelectType::IdBtnCancel, L"BtnCancel", L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 238,
     164, 75, 25},
};

// The entries share the group's inner height (below its caption) equally, one column.
constexpr int RadiosLeft = 72, RadiosTop = 24, RadiosWidth = 221, RadiosHeight = 117;
constexpr int CaptionHeight = 13;
}  // namespace

TFormSelectType::TFormSelectType() : TDialogWindow(IdImage1, DrawServerPicture)
{
    CreateForm({.ClassName = ClassName,
                .Caption = L"Add Service",
                .ClientWidth = DesignClientWidth,
                .ClientHeight = DesignClientHeight,
                .Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPSIBLINGS,
                .ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT});
    CreateControls(Components, std::size(Components));
}

void TFormSelectType::SetItems(const std::vector<std::wstring>& captions)
{
    for (HWND item : FItems)
        DestroyWindow(item);
    FItems.clear();
    if (captions.empty())
        return;
    const int count = static_cast<int>(captions.size());
    const int inner = RadiosHeight - CaptionHeight - 5;
    const int itemHeight = inner / count;
    const int topMargin = CaptionHeight + 1 + (inner % count) / 2;
    std::vector<TControlSpec> radios;
    for (int i = 0; i < count; ++i) {
        // The first entry starts the group and is its tab stop; arrow keys move within it.
        DWORD style = BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
        radios.push_back({IdFirstRadioItem + i, L"Radios.Item", L"BUTTON", captions[static_cast<size_t>(i)].c_str(),
                         style, 0, RadiosLeft + 8, RadiosTop + topMargin + i * itemHeight, RadiosWidth - 10 - 8,
                         itemHeight});
    }
    CreateControls(radios.data(), radios.size());
    // Created after OK and Cancel, the entries are moved in front of them in the tab order.
    HWND after = Control(IdRadios);
    for (int i = 0; i < count; ++i) {
        HWND item = Control(IdFirstRadioItem + i);
        SetWindowPos(item, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = item;
        FItems.push_back(item);
    }
    RadiosClick();
}

int TFormSelectType::ItemIndex() const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (SendMessageW(FItems[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
            return static_cast<int>(i);
    return -1;
}

void TFormSelectType::SetItemIndex(int index)
{
    for (size_t i = 0; i < FItems.size(); ++i)
        SendMessageW(FItems[i], BM_SETCHECK, static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
    RadiosClick();
}

void TFormSelectType::RadiosClick() { EnableWindow(Control(IdBtnOk), ItemIndex() >= 0); }

void TFormSelectType::BtnOkClick()
{
    if (IsWindowEnabled(Control(IdBtnOk)))
        SetModalResult(mrOk);
}

void TFormSelectType::FormShow()
{
    CentreOnScreen(Handle());
    RadiosClick();
    int index = ItemIndex();
    // The focus goes there when the window is activated by its showing.
    FFocused = FItems.empty() ? nullptr : FItems[static_cast<size_t>(std::max(index, 0))];
}

LRESULT TFormSelectType::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        const int id = LOWORD(wParam);
        if (id >= IdFirstRadioItem && id < IdFirstRadioItem + ItemCount()) {
            RadiosClick();
            return 0;
        }
    }
    return TDialogWindow::WndProc(msg, wParam, lParam);
}

bool SelectExeType(TExeType& kind)
{
    auto form = std::make_unique<TFormSelectType>();
    const std::vector<TExeType>& offered = OfferedExeTypes();
    std::vector<std::wstring> names;
    for (TExeType offeredKind : offered)
        names.push_back(ExeTypeName(offeredKind));
    form->SetItems(names);
    // etUnknown preselects the first kind, a value that is no kind (a damaged remembered one)
    // the last.
    const auto at = std::find(offered.begin(), offered.end(), kind);
    form->SetItemIndex(kind == etUnknown        ? 0
                       : at != offered.end() ? static_cast<int>(at - offered.begin())
                                             : static_cast<int>(offered.size()) - 1);
    if (form->ShowModal() != mrOk || form->ItemIndex() < 0)
        return false;
    kind = offered.at(static_cast<size_t>(form->ItemIndex()));
    return true;
}
