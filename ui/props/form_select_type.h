// The kind selection dialog that opens when a service is added: a radio group of the four
// kinds a new service can have, OK (enabled only with a selection) and Cancel.
#pragma once

#include "ui/base/dialog_window.h"
#include "erp/exe_type.h"

#include <string>
#include <vector>

class TFormSelectType : public TDialogWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFormSelectType";
    static constexpr int DesignClientWidth = 323;
    static constexpr int DesignClientHeight = 196;

    enum : int {
        IdBevel1 = 100,
        IdImage1,
        IdRadios,
        IdBtnOk = IDOK,
        IdBtnCancel = IDCANCEL,
        IdFirstRadioItem = 200,
    };

    TFormSelectType();

    // The radio group's entries, replacing any there were; none is selected.
    void SetItems(const std::vector<std::wstring>& captions);
    int ItemCount() const { return static_cast<int>(FItems.size()); }
    // The selected entry, -1 for none. Setting it runs the enabling rule.
    int ItemIndex() const;
    void SetItemIndex(int index);
    HWND Item(int index) const { return FItems.at(static_cast<size_t>(index)); }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void FormShow() override;

private:
    void RadiosClick();
    void BtnOkClick() override;

    std::vector<HWND> FItems;
};

// Shows the kind selection with kind preselected (the first kind for etUnknown, the last one
// for a value past the offered kinds). True when it was closed with OK; kind then holds the
// confirmed kind, which is never etUnknown. Cancel, Escape and the close button give false and
// leave kind as it was.
bool SelectExeType(TExeType& kind);
