// The About window: the product picture, the program's version and the maker's contact
// details; the e-mail and web addresses open the mail program and the browser.
#pragma once

#include "ui/base/gui_handle.h"
#include "ui/base/dialog_window.h"

#include <string>

// The maker's details shown by the window.
namespace Maker {
inline constexpr const wchar_t* Company = L"Talvora Software GmbH";
inline constexpr const wchar_t* Address = L"Lindenhofweg 12, 79098 Freiburg im Breisgau, Germany";
inline constexpr const wchar_t* Phone = L"+49 761 555 4180, +49 761 555 4181";
inline constexpr const wchar_t* Fax = L"+49 761 555 4189";
inline constexpr const wchar_t* Email = L"info@talvora.example";
inline constexpr const wchar_t* Web = L"www.talvora.example";  // host name; the scheme is in the caption
}  // namespace Maker

class TFormAbout : public TDialogWindow {
public:
    static constexpr const wchar_t* ClassName = L"TFormAbout";
    static constexpr int DesignClientWidth = 501;
    static constexpr int DesignClientHeight = 423;

    enum TControlId : int {
        idImage = 100,
        idLabelVersion,
        idLabelFirm,
        idLabelAddress,
        idLabelPhone,
        idLabelFax,
        idLabelEmail,
        idLabelWeb,
        idBtnOk = IDOK,
    };

    // versionFile: the program file whose version the window shows; empty for the program's
    // own executable.
    explicit TFormAbout(std::wstring versionFile = {});
    ~TFormAbout() override;

    HWND Control(int id) const { return TWindow::Control(id); }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void FormShow() override;

private:
    void LabelEmailClick();
    void LabelWebClick();
    // OK and Enter close the window as its close button does (Escape too, as a dialog's Cancel).
    void BtnOkClick() override;

    // Sets a label's caption and fits the label to it; a right-aligned label keeps its right
    // edge, the others their left edge.
    void SetLabelCaption(int id, const std::wstring& caption);
    std::wstring LabelCaption(int id) const;
    // The product picture at the window's dpi (the design one at 96 dpi).
    UniqueBitmap ScaledPicture(UniqueBitmap design) const;
    void DrawImage(const DRAWITEMSTRUCT& item);
    void DrawLabel(const DRAWITEMSTRUCT& item);
    // The window's own background under a rectangle of a control: the picture where it
    // reaches, white elsewhere.
    void PaintBackground(HDC dc, HWND control, const RECT& rect);
    HFONT LabelFont(int id) const;
    COLORREF LabelColor(int id) const;
    bool IsLink(HWND control) const;

    std::wstring FVersionFile;
    UniqueBitmap FPicture;
    UniqueFont FLinkFont;
    COLORREF FVersionColor;
};

// Help / About...: a new About window, shown modally and destroyed when it closes.
void ShowAboutBox();
