#include "ui/props/form_password.h"

#include "common/finally.h"
#include "ui/base/message_box.h"

#include <iterator>
#include <memory>
#include <utility>

namespace {
const TControlSpec Components[] = {
    {TFormPassword::IdLabelPassword, L"LabelPassword", L"STATIC", L"Password", SS_LEFT, 0, 12, 15, 60, 13},
    {TFormPassword::IdEditPassword, L"EditPassword", L"EDIT", nullptr, ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE, 80, 12, 196, 21},
    {TFormPassword::IdLabelConfirm, L"LabelConfirm", L"STATIC", L"Confirm", SS_LEFT, 0, 12, 44, 60, 13},
    {TFormPassword::IdEditConfirm, L"EditConfirm", L"EDIT", nullptr, ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP,
     WS_EX_CLIENTEDGE, 80, 41, 196, 21},
    {TFormPassword::IdBtnOk, L"BtnOk", L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 120, 78, 75, 25},
    {TFormPassword::IdBtnCancel, L"BtnCancel", L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 0, 201, 78, 75, 25},
};

}  // namespace

namespace {
// Posted by a field's EN_MAXTEXT: the refusal waits until the field has finished its input.
constexpr UINT WmRefuseTooLong = WM_APP + 1;
}  // namespace

TFormPassword::TFormPassword(std::wstring messageCaption) : FMessageCaption(std::move(messageCaption))
{
    CreateForm({.ClassName = ClassName,
                .Caption = L"Set account password",
                .ClientWidth = 288,
                .ClientHeight = 115,
                .Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPSIBLINGS,
                .ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT});
    CreateControls(Components, std::size(Components));
    for (int id : {IdEditPassword, IdEditConfirm}) {
        SendMessageW(Control(id), EM_LIMITTEXT, MaxLength, 0);
        // Every character shows as an asterisk, also where the common controls would draw a dot.
        SendMessageW(Control(id), EM_SETPASSWORDCHAR, L'*', 0);
    }
}

std::wstring TFormPassword::Password() const { return WindowText(Control(IdEditPassword)); }
std::wstring TFormPassword::Confirmation() const { return WindowText(Control(IdEditConfirm)); }

void TFormPassword::SetTexts(const std::wstring& password, const std::wstring& confirmation)
{
    SetWindowTextW(Control(IdEditPassword), password.c_str());
    SetWindowTextW(Control(IdEditConfirm), confirmation.c_str());
}

void TFormPassword::FormShow()
{
    CentreOnScreen(Handle());
    FFocused = Control(IdEditPassword);
}

LRESULT TFormPassword::WndProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    if (msg == WM_COMMAND && HIWORD(wParam) == EN_MAXTEXT && (id == IdEditPassword || id == IdEditConfirm)) {
        PostMessageW(Handle(), WmRefuseTooLong, static_cast<WPARAM>(id), 0);
        return 0;
    }
    if (msg == WmRefuseTooLong) {
        RefuseTooLong(static_cast<int>(wParam));
        return 0;
    }
    return TDialogWindow::WndProc(msg, wParam, lParam);
}

void TFormPassword::RefuseTooLong(int id)
{
    SetWindowTextW(Control(id), L"");
    AppMessageBox(TooLongText, FMessageCaption, MB_ICONERROR);
    SetFocus(Control(id));
}

bool AskAccountPassword(std::wstring& password, const std::wstring& messageCaption)
{
    std::wstring typed, confirmed;
    // The typed texts leave memory however the prompt ends.
    TFinally wipe([&] {
        SecureZeroMemory(typed.data(), typed.size() * sizeof(wchar_t));
        SecureZeroMemory(confirmed.data(), confirmed.size() * sizeof(wchar_t));
    });
    for (;;) {
        auto form = std::make_unique<TFormPassword>(messageCaption);
        form->SetTexts(typed, confirmed);
        if (form->ShowModal() != mrOk)
            return false;
        typed = form->Password();
        confirmed = form->Confirmation();
        form.reset();
        if (typed.size() > TFormPassword::MaxLength || confirmed.size() > TFormPassword::MaxLength) {
            AppMessageBox(TFormPassword::TooLongText, messageCaption, MB_ICONERROR);
            continue;
        }
        if (typed == confirmed) {
            password = typed;
            return true;
        }
        AppMessageBox(L"Password confirmation mismatch.", messageCaption, MB_ICONERROR);
    }
}
