#include "ui/about/form_about.h"

#include "common/errors.h"
#include "common/format.h"
#include "ui/about/file_version.h"
#include "ui/about/product_picture.h"
#include "ui/about/shell_open.h"
#include "ui/base/busy.h"
#include "ui/base/gui_handle.h"

#include <iterator>
#include <utility>

namespace {
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Navy = RGB(0, 0, 128);
constexpr COLORREF VersionShown = RGB(2, 46, 95);
constexpr DWORD Label = SS_OWNERDRAW | WS_CLIPSIBLINGS;
constexpr DWORD Link = Label | SS_NOTIFY;
constexpr int VersionRight = 448;

// Labels start with their design size and are fitted to their captions when created.
const TControlSpec Controls[] = {
    {TFormAbout::idImage, L"Image", L"STATIC", nullptr, Label, 0, 0, 0, ProductPictureWidth, ProductPictureHeight},
    {TFormAbout::idLabelVersion, L"LabelVersion", L"STATIC", L"Service Manager %s", Label, 0, VersionRight - 100, 140,
     100, 13},
    {TFormAbout::idLabelFirm, L"LabelFirm", L"STATIC", L"LabelFirm", Label, 0, 20, 308, 100, 13},
    {TFormAbout::idLabelAddress, L"LabelAddress", L"STATIC", L"LabelAddress", Label, 0, 20, 324, 100, 13},
    {TFormAbout::idLabelPhone, L"LabelPhone", L"STATIC", L"tel.: %s", Label, 0, 20, 344, 100, 13},
    {TFormAbout::idLabelFax, L"LabelFax", L"STATIC", L"fax: %s", Label, 0, 20, 360, 100, 13},
    {TFormAbout::idLabelEmail, L"LabelEmail", L"STATIC", L"e-mail: %s", Link, 0, 20, 380, 100, 15},
    {TFormAbout::idLabelWeb, L"LabelWeb", L"STATIC", L"http://%s", Link, 0, 20, 395, 100, 15},
    {TFormAbout::idBtnOk, L"BtnOk", L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_CLIPSIBLINGS, 0, 408, 383, 75,
     25},
};

bool IsRightAligned(int id) { return id == TFormAbout::idLabelVersion; }

// Whether the font as the system realized it scales (TrueType or vector), and is of that face.
bool ScalableFace(HFONT font, const wchar_t* face)
{
    const UniqueWindowDC dc(nullptr);
    if (!dc)
        return false;
    TEXTMETRICW metrics{};
    wchar_t realized[LF_FACESIZE] = L"";
    bool read = false;
    {
        const TSelectObjectScope selected(dc.get(), font);
        read = GetTextMetricsW(dc.get(), &metrics) && GetTextFaceW(dc.get(), LF_FACESIZE, realized) > 0;
    }
    return read && (metrics.tmPitchAndFamily & (TMPF_TRUETYPE | TMPF_VECTOR)) != 0 &&
           CompareStringOrdinal(realized, -1, face, -1, TRUE) == CSTR_EQUAL;
}

// The e-mail and web lines' font: "MS Sans Serif" where it scales; where it is a bitmap font
// (as Wine serves it), a scalable face of the same look, as Windows' own substitution takes.
UniqueFont CreateLinkFont()
{
    for (const wchar_t* face : {L"MS Sans Serif", L"Microsoft Sans Serif", L"Tahoma"}) {
        UniqueFont font(CreateFontW(FontHeightOfPoints(9), 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, DEFAULT_CHARSET,
                                    OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face));
        if (font && ScalableFace(font.get(), face))
            return font;
    }
    // No scalable face of that look: the named one as it comes.
    return UniqueFont(CreateFontW(FontHeightOfPoints(9), 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                  L"MS Sans Serif"));
}
}  // namespace

TFormAbout::TFormAbout(std::wstring versionFile) : FVersionFile(std::move(versionFile)), FVersionColor(Navy)
{
    FLinkFont = CreateLinkFont();
    if (!FLinkFont)
        RaiseLastOSError();

    CreateForm({.ClassName = ClassName,
                .Caption = L"About",
                .ClientWidth = DesignClientWidth,
                .ClientHeight = DesignClientHeight,
                .Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                .ExStyle = WS_EX_DLGMODALFRAME});
    CreateControls(Controls, std::size(Controls));
    FPicture = ScaledPicture(CreateProductPicture());
    // The picture lies under the labels written over it.
    SetWindowPos(Control(idImage), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    FFocused = Control(idBtnOk);
    for (int id : {idLabelEmail, idLabelWeb})
        SendMessageW(Control(id), WM_SETFONT, reinterpret_cast<WPARAM>(FLinkFont.get()), FALSE);
    for (const TControlSpec& control : Controls)
        if (control.Id != idImage && control.Id != idBtnOk)
            SetLabelCaption(control.Id, control.Caption);
}

TFormAbout::~TFormAbout() = default;

void TFormAbout::FormShow()
{
    SetLabelCaption(idLabelFirm, Maker::Company);
    SetLabelCaption(idLabelAddress, Maker::Address);
    // The design captions are the formats.
    SetLabelCaption(idLabelPhone, Fmt(LabelCaption(idLabelPhone), {Maker::Phone}));
    SetLabelCaption(idLabelFax, Fmt(LabelCaption(idLabelFax), {Maker::Fax}));
    SetLabelCaption(idLabelEmail, Fmt(LabelCaption(idLabelEmail), {Maker::Email}));
    SetLabelCaption(idLabelWeb, Fmt(LabelCaption(idLabelWeb), {Maker::Web}));
    FVersionColor = VersionShown;
    const std::wstring version = FVersionFile.empty() ? FileVersionText() : FileVersionText(FVersionFile);
    SetLabelCaption(idLabelVersion, Fmt(L"Service Manager %s", {version}));
    CentreOnScreen(Handle());
}

void TFormAbout::LabelEmailClick() { ShellOpen(Handle(), std::wstring(L"mailto:") + Maker::Email); }

void TFormAbout::LabelWebClick() { ShellOpen(Handle(), std::wstring(L"http://") + Maker::Web); }

void TFormAbout::BtnOkClick() { Close(); }

std::wstring TFormAbout::LabelCaption(int id) const { return WindowText(Control(id)); }

void TFormAbout::SetLabelCaption(int id, const std::wstring& caption)
{
    HWND label = Control(id);
    SM_ASSERT(label != nullptr);
    const RECT old = ChildRect(Handle(), label);
    SetWindowTextW(label, caption.c_str());

    SIZE extent{};
    TEXTMETRICW metrics{};
    {
        UniqueWindowDC dc(label);
        TSelectObjectScope font(dc.get(), LabelFont(id));
        GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &extent);
        GetTextMetricsW(dc.get(), &metrics);
    }

    const int width = extent.cx;
    const int left = IsRightAligned(id) ? old.right - width : old.left;
    SetWindowPos(label, nullptr, left, old.top, width, metrics.tmHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    // What the label covered before shows the background again.
    RedrawWindow(Handle(), &old, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    InvalidateRect(label, nullptr, TRUE);
}

HFONT TFormAbout::LabelFont(int id) const
{
    return reinterpret_cast<HFONT>(SendMessageW(Control(id), WM_GETFONT, 0, 0));
}

COLORREF TFormAbout::LabelColor(int id) const
{
    switch (id) {
    case idLabelVersion: return FVersionColor;
    case idLabelEmail:
    case idLabelWeb: return Navy;
    default: return GetSysColor(COLOR_WINDOWTEXT);
    }
}

bool TFormAbout::IsLink(HWND control) const
{
    return control && (control == Control(idLabelEmail) || control == Control(idLabelWeb));
}

void TFormAbout::PaintBackground(HDC dc, HWND control, const RECT& rect)
{
    // rect is in the control's client coordinates; the picture lies at the window's origin.
    RECT inForm = rect;
    MapWindowPoints(control, Handle(), reinterpret_cast<POINT*>(&inForm), 2);
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    FillRect(dc, &rect, white);
    RECT picture{0, 0, Scale(ProductPictureWidth), Scale(ProductPictureHeight)};
    RECT shared{};
    if (!IntersectRect(&shared, &inForm, &picture))
        return;
    UniqueMemoryDC mem(CreateCompatibleDC(dc));
    if (!mem)
        return;
    TSelectObjectScope selected(mem.get(), FPicture.get());
    BitBlt(dc, rect.left + (shared.left - inForm.left), rect.top + (shared.top - inForm.top), shared.right - shared.left,
           shared.bottom - shared.top, mem.get(), shared.left, shared.top, SRCCOPY);
}

UniqueBitmap TFormAbout::ScaledPicture(UniqueBitmap design) const
{
    if (Dpi() == DesignDpi || !design)
        return design;
    UniqueWindowDC screen(nullptr);
    UniqueBitmap scaled(CreateCompatibleBitmap(screen.get(), Scale(ProductPictureWidth), Scale(ProductPictureHeight)));
    UniqueMemoryDC from(CreateCompatibleDC(screen.get()));
    UniqueMemoryDC to(CreateCompatibleDC(screen.get()));
    if (!scaled || !from || !to)
        return design;
    TSelectObjectScope fromPicture(from.get(), design.get());
    TSelectObjectScope toPicture(to.get(), scaled.get());
    SetStretchBltMode(to.get(), HALFTONE);
    StretchBlt(to.get(), 0, 0, Scale(ProductPictureWidth), Scale(ProductPictureHeight), from.get(), 0, 0,
               ProductPictureWidth, ProductPictureHeight, SRCCOPY);
    return scaled;
}

void TFormAbout::DrawImage(const DRAWITEMSTRUCT& item) { PaintBackground(item.hDC, item.hwndItem, item.rcItem); }

void TFormAbout::DrawLabel(const DRAWITEMSTRUCT& item)
{
    const int id = static_cast<int>(item.CtlID);
    PaintBackground(item.hDC, item.hwndItem, item.rcItem);
    const std::wstring text = LabelCaption(id);
    TSelectObjectScope font(item.hDC, LabelFont(id));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, LabelColor(id));
    RECT r = item.rcItem;
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r,
              DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP | (IsRightAligned(id) ? DT_RIGHT : DT_LEFT));
}

LRESULT TFormAbout::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(Handle(), &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return 1;
    }
    case WM_CTLCOLORBTN:
        SetBkColor(reinterpret_cast<HDC>(wParam), White);
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item.CtlType != ODT_STATIC)
            break;
        if (item.CtlID == idImage)
            DrawImage(item);
        else
            DrawLabel(item);
        return TRUE;
    }
    case WM_SETCURSOR:
        if (BusyCount() == 0 && IsLink(reinterpret_cast<HWND>(wParam))) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case idLabelEmail:
            if (HIWORD(wParam) == STN_CLICKED)
                LabelEmailClick();
            return 0;
        case idLabelWeb:
            if (HIWORD(wParam) == STN_CLICKED)
                LabelWebClick();
            return 0;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return TDialogWindow::WndProc(msg, wParam, lParam);
}

void ShowAboutBox()
{
    TFormAbout form;
    form.ShowModal();
}
